// The "  Reporting  " tab on real widgets (offscreen): the report types after
// start-up, the formats of a clicked type, the save dialog's preset and
// cancel, the Go messages and reports written from the tab.
#include "server/gui/ReportingController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "server/core/ServerCore.h"
#include "server/core/ServerTexts.h"
#include "server/gui/frmMain.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "reportingcontroller_test";
  static char* argv[] = {name, nullptr};
  static QApplication* instance =
      qobject_cast<QApplication*>(QCoreApplication::instance()) ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                                               : new QApplication(argc, argv);
  return *instance;
}

class ReportingTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    const std::string dovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";
    ASSERT_TRUE(std::filesystem::exists(dovrel)) << "Dovrel.so is not built";
    std::filesystem::copy_file(dovrel, folder.path() + "Dovrel.so");
    for (int i = 1; i <= 2; ++i) {
      const std::string ip = "127.0.0." + std::to_string(i);
      folder.write("DataStore/" + ip + ".dat", testing::storedForm(testing::sampleRecord(i, ip)));
    }
    core = std::make_unique<ServerCore>(folder.path(), sink);
    window = std::make_unique<frmMain>(*core);
    StartupOptions options;
    options.listen = false;
    ASSERT_TRUE(window->startUp(options).ok());
    types = window->findChild<QTreeWidget*>(QStringLiteral("lstvReportTypes"));
    formats = window->findChild<QTreeWidget*>(QStringLiteral("lstvFormatTypes"));
    path = window->findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
    go = window->findChild<QPushButton*>(QStringLiteral("cmdGo"));
    select = window->findChild<QPushButton*>(QStringLiteral("cmdSelectPath"));
    ASSERT_TRUE(types && formats && path && go && select);
    controller = dynamic_cast<ReportingController*>(types->parent()->parent());
    for (QObject* child : window->children()) {
      if (auto* c = dynamic_cast<ReportingController*>(child)) controller = c;
    }
    ASSERT_NE(controller, nullptr);
    window->tabStrip()->setCurrentIndex(frmMain::TabReporting);
  }
  void clickType(int row) { emit types->itemClicked(types->topLevelItem(row), 0); }
  void clickFormat(int row) { emit formats->itemClicked(formats->topLevelItem(row), 0); }

  testing::TempFolder folder;
  testing::RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::unique_ptr<frmMain> window;
  QTreeWidget* types = nullptr;
  QTreeWidget* formats = nullptr;
  QLineEdit* path = nullptr;
  QPushButton* go = nullptr;
  QPushButton* select = nullptr;
  ReportingController* controller = nullptr;
};

TEST_F(ReportingTabTest, ListsTheReportTypesOfTheLibrariesFound) {
  EXPECT_EQ(go->text(), "Go !");
  EXPECT_EQ(select->text(), ". . .");
  EXPECT_EQ(types->headerItem()->text(0), "ReportName");
  EXPECT_EQ(types->headerItem()->text(1), "AuthorName");
  EXPECT_EQ(types->headerItem()->text(2), "FileName");
  EXPECT_EQ(formats->headerItem()->text(0), "  Report Type  ");
  ASSERT_EQ(types->topLevelItemCount(), 6);
  EXPECT_EQ(types->topLevelItem(0)->text(0), "Report Software Assets");
  EXPECT_EQ(types->topLevelItem(0)->text(1), "(Ostervale Technologies Ltd.)");
  EXPECT_EQ(types->topLevelItem(0)->text(2), "(Dovrel)");
  EXPECT_EQ(types->topLevelItem(1)->text(0), "XML Data Export");
  EXPECT_EQ(types->topLevelItem(2)->text(0), "Software by Version and Computer");
  EXPECT_EQ(types->topLevelItem(3)->text(0), "Software Inventory");
  EXPECT_EQ(types->topLevelItem(4)->text(0), "Computer Summary");
  EXPECT_EQ(types->topLevelItem(5)->text(0), "Fleet Export");
  EXPECT_EQ(formats->topLevelItemCount(), 0);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ReportingTabTest, GoMessagesFollowTheChoices) {
  go->click();
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages.back().text, "Please selected both a Report DLL and a Report Type");
  clickType(1);
  ASSERT_EQ(formats->topLevelItemCount(), 1);
  EXPECT_EQ(formats->topLevelItem(0)->text(0), "Output to XML");
  go->click();
  EXPECT_EQ(sink.messages.back().text, "Please selected both a Report DLL and a Report Type");
  clickFormat(0);
  path->setText("   ");
  go->click();
  EXPECT_EQ(sink.messages.back().text, "Please select a report filename");
  EXPECT_EQ(sink.messages.back().style, kStyleInformation);
  EXPECT_EQ(sink.messages.size(), 3u);
}

TEST_F(ReportingTabTest, SaveDialogPresetCancelAndRun) {
  clickType(0);
  clickFormat(0);
  QString preset;
  controller->setSaveDialog([&](const QString& p) {
    preset = p;
    return QString();
  });
  path->setText("unchanged");
  select->click();
  EXPECT_EQ(preset, "My Report.html");
  EXPECT_EQ(path->text(), "unchanged");  // cancelled

  const QString out = QString::fromStdString(folder.path() + "report.html");
  controller->setSaveDialog([&](const QString& p) {
    preset = p;
    return out;
  });
  select->click();
  EXPECT_EQ(path->text(), out);
  select->click();
  EXPECT_EQ(preset, out);  // the dialog keeps its last file name

  EXPECT_EQ(controller->cmdGo_Click(), ReportRunner::Outcome::Written);
  std::ifstream in(out.toStdString(), std::ios::binary);
  std::stringstream page;
  page << in.rdbuf();
  EXPECT_NE(page.str().find("Report on 2 computers"), std::string::npos);
  EXPECT_NE(page.str().find("127.0.0.1, 127.0.0.2"), std::string::npos);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ReportingTabTest, RunsTheFurtherReports) {
  struct Run {
    int row;
    const char* format;
    const char* begins;
  };
  for (const Run& run : {Run{2, "Output to HTML", "<!DOCTYPE html>"},
                         Run{3, "Output to CSV", "\xEF\xBB\xBFIP Address,Host Name"},
                         Run{4, "Output to CSV", "\xEF\xBB\xBFIP Address,Host Name"},
                         Run{5, "Output to JSON", "[\n{"}}) {
    SCOPED_TRACE(run.format);
    clickType(run.row);
    ASSERT_EQ(formats->topLevelItemCount(), 1);
    EXPECT_EQ(formats->topLevelItem(0)->text(0), run.format);
    clickFormat(0);
    QString preset;
    const QString out = QString::fromStdString(folder.path() + "out" + std::to_string(run.row));
    controller->setSaveDialog([&](const QString& p) {
      preset = p;
      return out;
    });
    path->clear();
    select->click();
    if (run.row == 2) {
      EXPECT_EQ(preset, "My Report.html");  // later runs keep the last name
    }
    EXPECT_EQ(path->text(), out);
    EXPECT_EQ(controller->cmdGo_Click(), ReportRunner::Outcome::Written);
    std::ifstream in(out.toStdString(), std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_TRUE(file.str().starts_with(run.begins)) << file.str().substr(0, 40);
    EXPECT_NE(file.str().find("127.0.0.2"), std::string::npos);
  }
  EXPECT_TRUE(sink.messages.empty());
}

}  // namespace
}  // namespace quorvane
