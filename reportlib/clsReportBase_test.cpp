// Init, isInit and the "not initialized" guard, shared by both report
// classes.
#include "reportlib/clsReportBase.h"

#include <gtest/gtest.h>

#include "common/SampleAudit.h"
#include "reportlib/DovrelTestSupport.h"
#include "reportlib/clsReportSoftware.h"
#include "reportlib/clsXMLExport.h"

namespace dovrel {
namespace {

using testing::Recorded;
using testing::TempDir;

struct InitCase {
  const char* name;
  std::vector<std::string> files;  // "" = empty path entry, "*name" = stored sample, "!x" = garbage
  std::size_t records;
  std::size_t errors;
};

class InitTest : public ::testing::TestWithParam<InitCase> {};

TEST_P(InitTest, LoadsReadableFilesAndReportsTheOthers) {
  const InitCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> paths;
  std::uint32_t seed = 1;
  for (const auto& f : c.files) {
    if (f.empty()) {
      paths.emplace_back();
    } else if (f[0] == '*') {
      paths.push_back(testing::writeStored(dir, f.substr(1), quorvane::makeSampleAudit(3, seed++)));
    } else if (f[0] == '!') {
      paths.push_back(dir.file(f.substr(1)));
      testing::writeBytes(paths.back(), f.substr(1) == "nonul" ? "12345" : "99\0garbage");
    } else {
      paths.push_back(dir.file(f));  // does not exist
    }
  }
  std::vector<Recorded> messages;
  clsXMLExport report(testing::recordingHost(messages));
  EXPECT_FALSE(report.isInit());
  EXPECT_TRUE(report.Init(paths));
  EXPECT_TRUE(report.isInit());
  EXPECT_EQ(report.records().size(), c.records);
  ASSERT_EQ(messages.size(), c.errors);
  for (const auto& m : messages) {
    EXPECT_EQ(m.icon, QV_ICON_CRITICAL);
    EXPECT_EQ(m.text.rfind("Error in : Dovrel.clsXMLExport.init\r\n\r\nError Number : ", 0), 0u)
        << m.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, InitTest,
    ::testing::Values(
        InitCase{"EmptyList", {}, 0, 0},
        InitCase{"OnlyEntryEmpty", {""}, 0, 0},
        InitCase{"OneFile", {"*a.dat"}, 1, 0},
        InitCase{"ThreeFiles", {"*a.dat", "*b.dat", "*c.dat"}, 3, 0},
        InitCase{"EmptyEntriesSkipped", {"", "*a.dat", ""}, 1, 0},
        InitCase{"MissingFileLeftOut", {"*a.dat", "gone.dat", "*b.dat"}, 2, 1},
        InitCase{"GarbageLeftOut", {"!bad.dat", "*a.dat"}, 1, 1},
        InitCase{"NoSeparatorLeftOut", {"!nonul", "*a.dat"}, 1, 1},
        InitCase{"NothingReadable", {"!bad.dat", "gone.dat"}, 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InitTest, KeepsTheOrderOfTheList) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    auto r = quorvane::makeSampleAudit(2, 10 + i);
    r.Hardware.Network.IP = "127.0.0." + std::to_string(9 - i);
    paths.push_back(testing::writeStored(dir, "f" + std::to_string(i) + ".dat", r));
  }
  std::vector<Recorded> messages;
  clsReportSoftware report(testing::recordingHost(messages));
  ASSERT_TRUE(report.Init(paths));
  ASSERT_EQ(report.records().size(), 3u);
  EXPECT_EQ(report.records()[0].Hardware.Network.IP, "127.0.0.9");
  EXPECT_EQ(report.records()[2].Hardware.Network.IP, "127.0.0.7");
}

TEST(DoReportTest, RefusesBeforeInitAndWritesNothing) {
  TempDir dir;
  struct Row {
    const char* expected;
    std::unique_ptr<clsReportBase> (*make)(ReportHost);
  };
  const Row rows[] = {
      {"Dovrel.clsReportSoftware.doReport()\r\n\r\nHas not been initialized",
       [](ReportHost h) -> std::unique_ptr<clsReportBase> {
         return std::make_unique<clsReportSoftware>(std::move(h));
       }},
      {"Dovrel.clsXMLExport.doReport()\r\n\r\nHas not been initialized",
       [](ReportHost h) -> std::unique_ptr<clsReportBase> {
         return std::make_unique<clsXMLExport>(std::move(h));
       }},
  };
  for (const auto& row : rows) {
    std::vector<Recorded> messages;
    auto report = row.make(testing::recordingHost(messages));
    const std::string out = dir.file("out.txt");
    EXPECT_FALSE(report->doReport(0, out));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, QV_ICON_CRITICAL);
    EXPECT_EQ(messages[0].text, row.expected);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

}  // namespace
}  // namespace dovrel
