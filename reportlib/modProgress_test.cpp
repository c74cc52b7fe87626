// The progress of a report run: the bar's width and the percentage for a
// fraction, the status and title texts, unloading, and the number format of
// the percentage.
#include "reportlib/modProgress.h"

#include <gtest/gtest.h>

#include "reportlib/ReportHost.h"

namespace dovrel {
namespace {

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
