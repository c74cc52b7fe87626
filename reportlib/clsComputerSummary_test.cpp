// The computer summary (CSV): the drives cell (name, size and free space,
// the closing element left out, hostile names kept as they are) and a row
// counting applications without the blank names.
#include "reportlib/clsComputerSummary.h"

#include <gtest/gtest.h>

#include "reportlib/DovrelTestSupport.h"

namespace dovrel {
namespace {

using testing::Recorded;
using testing::TempDir;

struct DrivesCase {
  const char* name;
  std::vector<quorvane::DriveInfo> drives;
  std::string cell;
};

class DrivesCellTest : public ::testing::TestWithParam<DrivesCase> {};

TEST_P(DrivesCellTest, NameSizeAndFreeSpace) {
  quorvane::AuditRecord r;
  for (const auto& d : GetParam().drives) r.Hardware.Drives.push_back(d);
  EXPECT_EQ(drivesCell(r), GetParam().cell);
}

quorvane::DriveInfo drive(std::string name, std::string size, std::string free) {
  quorvane::DriveInfo d;
  d.DriveName = std::move(name);
  d.DriveSize = std::move(size);
  d.DriveFree = std::move(free);
  return d;
}

INSTANTIATE_TEST_SUITE_P(
    Cells, DrivesCellTest,
    ::testing::Values(
        DrivesCase{"None", {}, ""},
        DrivesCase{"ClosingElementOnly", {drive("", "", "")}, ""},
        DrivesCase{"TwoAndTheClosingElement",
                   {drive("C:\\", "1,000 Bytes", "10 Bytes"), drive("D:\\", "0 Bytes", "0 Bytes"), drive("", "", "")},
                   "C:\\ 1,000 Bytes (10 Bytes free); D:\\ 0 Bytes (0 Bytes free)"},
        DrivesCase{"HostileName", {drive("X; \"y\"", "", "")}, "X; \"y\"  ( free)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComputerSummaryTest, ApplicationCountSkipsBlankNames) {
  TempDir dir;
  std::vector<Recorded> messages;
  const std::string path = testing::writeCsvSample(dir);
  clsComputerSummary summary(testing::recordingHost(messages));
  ASSERT_TRUE(summary.Init({path}));
  ASSERT_TRUE(summary.doReport(0, dir.file("s.csv")));
  const auto rows = testing::crlfLines(testing::readBytes(dir.file("s.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], "127.0.0.1,\"PC,1\",D,,,,,,,,,,2,01/02/2003 04:05:06");
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace dovrel
