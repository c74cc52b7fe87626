// The fleet export (JSON): one array of the dumps of the audits, in list
// order, that a JSON reader takes back, 8-bit and control characters
// included.
#include "reportlib/clsFleetExport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/AuditJson.h"
#include "common/SampleAudit.h"
#include "reportlib/DovrelTestSupport.h"

namespace dovrel {
namespace {

using testing::Recorded;
using testing::TempDir;

TEST(FleetExportTest, OneArrayOfTheDumpsOfTheAudits) {
  TempDir dir;
  std::vector<Recorded> messages;
  const auto a = quorvane::makeSampleAudit(5, 1);
  auto b = quorvane::makeSampleAudit(0, 2);
  b.Hardware.Network.Hostname = std::string("\"\\\x01\x81\xFF", 5);
  clsFleetExport report(testing::recordingHost(messages));
  ASSERT_TRUE(report.Init({testing::writeStored(dir, "a.dat", a), testing::writeStored(dir, "b.dat", b)}));
  ASSERT_TRUE(report.doReport(0, dir.file("out.json")));
  const std::string text = testing::readBytes(dir.file("out.json"));
  EXPECT_EQ(text, "[\n" + quorvane::auditRecordToJsonText(a) + ",\n" + quorvane::auditRecordToJsonText(b) + "\n]\n");
  const auto parsed = nlohmann::ordered_json::parse(text);
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1]["Hardware"]["Network"]["Hostname"], "\"\\\x01\xC2\x81\xC3\xBF");
}

}  // namespace
}  // namespace dovrel
