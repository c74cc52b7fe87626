// The software inventory (CSV): one row per application with its computer,
// blank names left out, commas and quotes quoted.
#include "reportlib/clsSoftwareInventory.h"

#include <gtest/gtest.h>

#include "reportlib/DovrelTestSupport.h"

namespace dovrel {
namespace {

using testing::Recorded;
using testing::TempDir;

TEST(SoftwareInventoryTest, RowsSkipBlankNamesAndQuoteCommas) {
  TempDir dir;
  std::vector<Recorded> messages;
  const std::string path = testing::writeCsvSample(dir);
  clsSoftwareInventory inventory(testing::recordingHost(messages));
  ASSERT_TRUE(inventory.Init({path}));
  ASSERT_TRUE(inventory.doReport(0, dir.file("i.csv")));
  const auto lines = testing::crlfLines(testing::readBytes(dir.file("i.csv")));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "127.0.0.1,\"PC,1\",D,Word,,,,01/02/2003 04:05:06");
  EXPECT_EQ(lines[2], "127.0.0.1,\"PC,1\",D,\"Zip \"\"x\"\"\",,,,01/02/2003 04:05:06");
  EXPECT_EQ(lines[3], "");
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace dovrel
