// The index in the console, driven as a person drives it: typing a query in
// the Search tab and pressing Return, double-clicking a result (the machine
// opens in the Local View), clicking a machine in the tree and the History
// tab (its changes, newest first). Also a query it cannot read and an index
// that is off.
#include "server/gui/IndexController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "server/core/IndexService.h"
#include "server/gui/frmMain.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/WidgetTestSupport.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;

AuditRecord withApplications(AuditRecord r, std::vector<ApplicationInfo> apps) {
  apps.push_back({});
  r.Software.Applications = Array<ApplicationInfo>(std::move(apps));
  return r;
}

std::vector<QStringList> rowsOf(const QAbstractItemModel* model) {
  std::vector<QStringList> rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList row;
    for (int c = 0; c < model->columnCount(); ++c) row << model->index(r, c).data().toString();
    rows.push_back(row);
  }
  return rows;
}

class IndexControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureWidgetApplication(); }

  // Two machines; 127.0.0.1 had an older audit (Firefox 118, 7-Zip) indexed
  // before its current file (Firefox 119.0.1, no 7-Zip).
  void makeFleet(bool indexed = true) {
    const ApplicationInfo zip{"7-Zip", "", "Igor Pavlov", "", "9.20", ""};
    const AuditRecord base1 = sampleRecord(1, "127.0.0.1", "corp");
    const AuditRecord base2 = sampleRecord(2, "127.0.0.2", "corp");
    dir.write("DataStore/127.0.0.1.dat",
              storedForm(withApplications(base1, {{"Mozilla Firefox", "", "Mozilla", "", "119.0.1", ""}})) + "\r\n");
    dir.write("DataStore/127.0.0.2.dat",
              storedForm(withApplications(base2, {{"Mozilla Firefox", "", "Mozilla", "", "120.0", ""}, zip})) + "\r\n");
    if (!indexed) return;
    IndexDatabase where;
    where.sqlitePath = dir.path() + "QuorvaneIndex.sqlite";
    AuditIndex index(where);
    ASSERT_TRUE(index.open().ok());
    ASSERT_TRUE(index
                    .indexAudit("127.0.0.1",
                                withApplications(base1, {{"Mozilla Firefox", "", "Mozilla", "", "118.0", ""}, zip}),
                                1'000'000)
                    .ok());
    ASSERT_TRUE(catchUpIndex(index, dir.path()).ok());
  }

  void open() {
    core = std::make_unique<ServerCore>(dir.path(), sink);
    window = std::make_unique<frmMain>(*core);
    window->show();
    StartupOptions options;
    options.listen = false;
    ASSERT_TRUE(window->startUp(options).ok());
    controller = window->findChild<IndexController*>();
    ASSERT_NE(controller, nullptr);
  }

  void clickTab(QTabWidget* tabs, int index) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
    ASSERT_EQ(tabs->currentIndex(), index);
  }

  void typeQuery(const QString& text) {
    clickTab(window->tabStrip(), 3);
    QLineEdit* field = controller->searchField();
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::unique_ptr<frmMain> window;
  IndexController* controller = nullptr;
};

TEST_F(IndexControllerTest, SearchListsMachinesAndADoubleClickOpensOne) {
  makeFleet();
  open();
  typeQuery("FireFox < 120");
  QTableView* results = controller->searchResults();
  EXPECT_EQ(rowsOf(results->model()),
            (std::vector<QStringList>{{"127.0.0.1", "PC-1", "corp", "Mozilla Firefox", "119.0.1", "Mozilla"}}));
  EXPECT_EQ(controller->searchStatus()->text(), "1 machines");

  const QRect cell = results->visualRect(results->model()->index(0, 1));
  QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, cell.center());  // a person's first click
  QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(window->tabStrip()->currentIndex(), frmMain::TabLocalView);
  EXPECT_EQ(window->selectedTag(), QVariant(*core->state().findClient("127.0.0.1")));
  ASSERT_GT(window->lstSoftware()->count(), 1);
  EXPECT_EQ(window->lstSoftware()->item(1)->text(), "Mozilla Firefox");

  typeQuery("zip");
  EXPECT_EQ(rowsOf(results->model()).size(), 1u);
  EXPECT_EQ(rowsOf(results->model())[0][0], "127.0.0.2");
}

TEST_F(IndexControllerTest, HistoryTabShowsThePickedMachinesChangesNewestFirst) {
  makeFleet();
  open();
  QTreeView* tree = window->treeView1();
  const QModelIndex node = core->state().clientTree().clientIndex(*core->state().findClient("127.0.0.1"));
  tree->expand(node.parent());
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
  clickTab(window->deviceTabs(), 3);
  const std::vector<QStringList> rows = rowsOf(controller->historyTable()->model());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].mid(2), (QStringList{"removed", "7-Zip", "9.20", ""}));
  EXPECT_EQ(rows[1].mid(2), (QStringList{"upgraded", "Mozilla Firefox", "118.0", "119.0.1"}));
  EXPECT_EQ(rows[0][1], QString::fromStdString(sampleRecord(1, "127.0.0.1").AuditDate));

  const QModelIndex other = core->state().clientTree().clientIndex(*core->state().findClient("127.0.0.2"));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(other).center());
  EXPECT_EQ(controller->historyTable()->model()->rowCount(), 0) << "no change on record for the other machine";
}

TEST_F(IndexControllerTest, AnUnreadableQueryAndAnIndexThatIsOffSaySo) {
  makeFleet(false);
  open();
  typeQuery("< 120");
  EXPECT_EQ(controller->searchResults()->model()->rowCount(), 0);
  EXPECT_TRUE(controller->searchStatus()->text().contains("no application name")) << controller->searchStatus()->text().toStdString();

  dir.write("serverSettings.txt", "IndexDatabase:off\r\n");
  typeQuery("firefox");
  EXPECT_EQ(controller->searchResults()->model()->rowCount(), 0);
  EXPECT_TRUE(controller->searchStatus()->text().contains("The index is off"));
}

}  // namespace
}  // namespace quorvane
