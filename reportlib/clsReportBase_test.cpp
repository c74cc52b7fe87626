// Init, isInit, the "not initialized" guard and the progress arithmetic,
// shared by both report classes.
#include "reportlib/clsReportBase.h"

#include <gtest/gtest.h>

#include "common/SampleAudit.h"
#include "reportlib/DovrelTestSupport.h"
#include "reportlib/clsReportSoftware.h"
#include "reportlib/clsXMLExport.h"
#include "reportlib/modProgress.h"

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

struct ProgressCase {
  const char* name;
  float fraction;
  double bar;
  const char* percent;
};

class SetProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(SetProgressTest, BarAndPercentage) {
  ReportHost host(QV_HOST_QUIET, nullptr);
  modProgress progress(host);
  progress.makeProgressWindow("Report on Software Installed", "Loading Files ...", "0.0 %");
  EXPECT_EQ(progress.percentText(), "0.0 %");
  progress.setProgress(GetParam().fraction);
  EXPECT_DOUBLE_EQ(progress.barWidth(), GetParam().bar);
  EXPECT_EQ(progress.percentText(), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, SetProgressTest,
    ::testing::Values(ProgressCase{"Half", 0.5f, 184.5, "50 %"},
                      ProgressCase{"Zero", 0.0f, 0.0, "0 %"},
                      ProgressCase{"Whole", 1.0f, 369.0, "100 %"},
                      ProgressCase{"Quarter", 0.25f, 92.25, "25 %"},
                      ProgressCase{"Third", 1.0f / 3.0f, 123.0, "33.333 %"},
                      ProgressCase{"TwoThirds", 2.0f / 3.0f, 246.0, "66.667 %"},
                      ProgressCase{"OneEighth", 0.125f, 46.125, "12.5 %"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressTest, StatusAndUnload) {
  ReportHost host(QV_HOST_QUIET, nullptr);
  modProgress progress(host);
  EXPECT_FALSE(progress.shown());
  progress.makeProgressWindow("T", "Loading Files ...", "0.0 %");
  EXPECT_TRUE(progress.shown());
  progress.setStatus("Creating XML Report ...");
  EXPECT_EQ(progress.status(), "Creating XML Report ...");
  EXPECT_EQ(progress.title(), "T");
  progress.unload();
  EXPECT_FALSE(progress.shown());
}

TEST(FormatNumberTest, DefaultNumberFormat) {
  EXPECT_EQ(formatNumber(50.0), "50");
  EXPECT_EQ(formatNumber(33.333), "33.333");
  EXPECT_EQ(formatNumber(12.5), "12.5");
  EXPECT_EQ(formatNumber(-0.0), "0");
  EXPECT_DOUBLE_EQ(roundTo(0.0625, 3), 0.062);  // halves go to even
  EXPECT_DOUBLE_EQ(roundTo(0.1875, 3), 0.188);
}

}  // namespace
}  // namespace dovrel
