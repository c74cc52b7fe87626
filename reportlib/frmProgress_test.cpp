// The progress window itself (offscreen): caption, labels and bar follow
// modProgress, and unloading closes it.
#include "reportlib/frmProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>

#include "reportlib/modProgress.h"

namespace dovrel {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "frmprogress_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication instance(argc, argv);
  return instance;
}

frmProgress* shownWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == "frmProgress" && w->isVisible()) return static_cast<frmProgress*>(w);
  }
  return nullptr;
}

TEST(FrmProgressTest, ShowsTheStateOfTheRun) {
  app();
  ReportHost host(QV_HOST_INTERACTIVE, [](std::int32_t, const std::string&) {});
  modProgress progress(host);
  EXPECT_EQ(shownWindow(), nullptr);
  progress.makeProgressWindow("Report on Software Installed", "Loading Files ...", "0.0 %");
  frmProgress* w = shownWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "Report Progress");
  EXPECT_EQ(w->lblReportName->text(), "Report on Software Installed");
  EXPECT_EQ(w->lblCurrStatus->text(), "Loading Files ...");
  EXPECT_EQ(w->lblPercent->text(), "0.0 %");
  EXPECT_EQ(w->picInner->width(), 0);
  EXPECT_EQ(w->picOuter->width() - 2, 369);

  progress.setProgress(0.5f);
  EXPECT_EQ(w->lblPercent->text(), "50 %");
  EXPECT_NEAR(w->picInner->width(), 184.5, 0.5);
  progress.setStatus("Outputting HTML ...");
  EXPECT_EQ(w->lblCurrStatus->text(), "Outputting HTML ...");
  progress.setProgress(1.0f);
  EXPECT_EQ(w->picInner->width(), 369);

  progress.unload();
  EXPECT_EQ(shownWindow(), nullptr);
}

}  // namespace
}  // namespace dovrel
