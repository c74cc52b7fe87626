// What the four streamed reports share, run through each of them: the empty
// DataStore, damaged and vanished files, a file rewritten after Init, an
// unwritable output path, another format number and a report before Init.
#include "reportlib/clsAuditStreamReport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "common/SampleAudit.h"
#include "reportlib/DovrelTestSupport.h"
#include "reportlib/clsComputerSummary.h"
#include "reportlib/clsFleetExport.h"
#include "reportlib/clsSoftwareByVersion.h"
#include "reportlib/clsSoftwareInventory.h"

namespace dovrel {
namespace {

using testing::Recorded;
using testing::TempDir;

struct ReportKind {
  const char* name;
  const char* className;
  std::function<std::unique_ptr<clsReportBase>(ReportHost)> make;
  std::string emptyOutput;  // the whole file, or a part of it ending in "..."
};

const std::string kBom = "\xEF\xBB\xBF";

std::vector<ReportKind> kinds() {
  return {
      {"SoftwareInventory", "clsSoftwareInventory",
       [](ReportHost h) { return std::make_unique<clsSoftwareInventory>(std::move(h)); },
       kBom + "IP Address,Host Name,Domain,Product,Version,Publisher,Install Location,Audit Date\r\n"},
      {"ComputerSummary", "clsComputerSummary",
       [](ReportHost h) { return std::make_unique<clsComputerSummary>(std::move(h)); },
       kBom + "IP Address,Host Name,Domain,User,Operating System,Version,Processor,Processor Vendor,"
              "CPU Speed,Number of CPUs,Memory,Drives,Number of Applications,Audit Date\r\n"},
      {"FleetExport", "clsFleetExport",
       [](ReportHost h) { return std::make_unique<clsFleetExport>(std::move(h)); }, "[]\n"},
      {"SoftwareByVersion", "clsSoftwareByVersion",
       [](ReportHost h) { return std::make_unique<clsSoftwareByVersion>(std::move(h)); },
       "No audit is stored...."},
  };
}

class StreamReportTest : public ::testing::TestWithParam<ReportKind> {
 protected:
  std::unique_ptr<clsReportBase> make() { return GetParam().make(testing::recordingHost(messages)); }
  TempDir dir;
  std::vector<Recorded> messages;
};

TEST_P(StreamReportTest, EmptyDataStore) {
  auto report = make();
  ASSERT_TRUE(report->Init({""}));
  const std::string out = dir.file("out");
  ASSERT_TRUE(report->doReport(0, out));
  const std::string text = testing::readBytes(out);
  const std::string& want = GetParam().emptyOutput;
  if (want.ends_with("...")) {
    EXPECT_NE(text.find(want.substr(0, want.size() - 3)), std::string::npos) << text;
  } else {
    EXPECT_EQ(text, want);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_P(StreamReportTest, DamagedAndVanishedFilesAreReportedAndLeftOut) {
  const std::string first = testing::writeStored(dir, "127.0.0.1.dat", quorvane::makeSampleAudit(3, 0));
  const std::string damaged = dir.file("127.0.0.7.dat");
  testing::writeBytes(damaged, std::string("12345\0no zlib stream", 20));
  const std::string second = testing::writeStored(dir, "127.0.0.2.dat", quorvane::makeSampleAudit(3, 1));
  const std::string vanished = testing::writeStored(dir, "127.0.0.9.dat", quorvane::makeSampleAudit(3, 8));
  auto report = make();
  ASSERT_TRUE(report->Init({first, damaged, "", vanished, second}));
  EXPECT_TRUE(report->records().empty());  // nothing is held before the report runs
  EXPECT_EQ(report->auditCount(), 4u);
  std::filesystem::remove(vanished);
  const std::string out = dir.file("out");
  EXPECT_TRUE(report->doReport(0, out));  // the damaged files do not fail the run
  const std::string text = testing::readBytes(out);
  EXPECT_NE(text.find("127.0.0.1"), std::string::npos);
  EXPECT_NE(text.find("127.0.0.2"), std::string::npos);
  EXPECT_EQ(text.find("127.0.0.9"), std::string::npos);
  ASSERT_EQ(messages.size(), 2u);
  const std::string where = "Dovrel." + std::string(GetParam().className) + ".init";
  EXPECT_NE(messages[0].text.find(where), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("127.0.0.7.dat"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[1].text.find("127.0.0.9.dat"), std::string::npos) << messages[1].text;
  EXPECT_EQ(messages[1].icon, QV_ICON_CRITICAL);
}

TEST_P(StreamReportTest, ReadsTheFileAsItIsWhenTheReportRuns) {
  const std::string path = testing::writeStored(dir, "a.dat", testing::machine("127.0.0.1", "OLD", "D", {"X"}));
  auto report = make();
  ASSERT_TRUE(report->Init({path}));
  testing::writeStored(dir, "a.dat", testing::machine("127.0.0.1", "NEWER", "D", {"X"}));
  ASSERT_TRUE(report->doReport(0, dir.file("out")));
  const std::string text = testing::readBytes(dir.file("out"));
  EXPECT_NE(text.find("NEWER"), std::string::npos);
  EXPECT_EQ(text.find("OLD"), std::string::npos);
}

TEST_P(StreamReportTest, UnwritablePathFailsTheRun) {
  auto report = make();
  ASSERT_TRUE(report->Init({testing::writeStored(dir, "a.dat", quorvane::makeSampleAudit(2, 0))}));
  EXPECT_FALSE(report->doReport(0, dir.file("no/such/folder/out")));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("Dovrel." + std::string(GetParam().className) + ".doReport"),
            std::string::npos)
      << messages[0].text;
}

TEST_P(StreamReportTest, OtherFormatNumbersAndReportsBeforeInitWriteNothing) {
  auto report = make();
  EXPECT_FALSE(report->doReport(0, dir.file("before")));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            "Dovrel." + std::string(GetParam().className) + ".doReport()\r\n\r\nHas not been initialized");
  ASSERT_TRUE(report->Init({""}));
  EXPECT_FALSE(report->doReport(1, dir.file("other")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("before")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("other")));
}

INSTANTIATE_TEST_SUITE_P(Reports, StreamReportTest, ::testing::ValuesIn(kinds()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dovrel
