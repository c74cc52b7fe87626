// The console window offscreen: captions and columns, start-up filling the
// tree, the list and the hardware categories, the selection buttons, sorting
// by a clicked header, node clicks, the request buttons, "Send Message"
// through frmInput, and the screenshots.
#include "server/gui/frmMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>

#include "server/gui/frmInput.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/WidgetTestSupport.h"
#include "server/testsupport/TextAreaChecks.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::waitUntil;

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureWidgetApplication();
    AuditRecord a = sampleRecord(1, "127.0.0.1", "CORP");
    a.Hardware.Network.Hostname = "ZETA";
    AuditRecord b = sampleRecord(2, "127.0.0.2", "corp");
    b.Hardware.Network.Hostname = "alpha";
    AuditRecord c = sampleRecord(3, "127.0.0.3", "Lab");
    c.Hardware.Network.Hostname = "Mid";
    dir.write("DataStore/127.0.0.1.dat", storedForm(a) + "\r\n");
    dir.write("DataStore/127.0.0.2.dat", storedForm(b) + "\r\n");
    dir.write("DataStore/127.0.0.3.dat", storedForm(c) + "\r\n");
    core = std::make_unique<ServerCore>(dir.path(), sink);
    core->setCommandTimeoutMs(100);
    window = std::make_unique<frmMain>(*core);
    window->show();
  }

  void startUp() {
    StartupOptions options;
    options.listen = false;
    ASSERT_TRUE(window->startUp(options).ok());
  }

  std::vector<bool> checks() {
    std::vector<bool> out;
    ClientListModel& list = core->state().clientList();
    for (int r = 0; r < list.rowCount(); ++r) out.push_back(list.isChecked(r));
    return out;
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::unique_ptr<frmMain> window;
};

TEST_F(FrmMainTest, CaptionsTabsAndColumns) {
  EXPECT_EQ(window->windowTitle(), "Quorvane Pro  -  Server");
  QTabWidget* tabs = window->tabStrip();
  ASSERT_EQ(tabs->count(), 4);
  EXPECT_EQ(tabs->tabText(0), "  Local View  ");
  EXPECT_EQ(tabs->tabText(1), "  Global View  ");
  EXPECT_EQ(tabs->tabText(2), "  Reporting  ");
  EXPECT_EQ(tabs->tabText(3), "  Search  ");  // the index, after the other tabs
  EXPECT_EQ(window->deviceInformationFrame()->title(), "  Device Information  ");
  QTabWidget* device = window->deviceTabs();
  ASSERT_EQ(device->count(), 4);
  EXPECT_EQ(device->tabText(0), "   Software   ");
  EXPECT_EQ(device->tabText(1), "   Hardware   ");
  EXPECT_EQ(device->tabText(2), "    Network   ");
  EXPECT_EQ(device->tabText(3), "   History   ");
  EXPECT_EQ(window->reportingOptionsFrame()->title(), "  Reporting Options  ");
  for (QPlainTextEdit* area : {window->rtbSoftwareInfo(), window->rtbHardwareInfo(), window->rtbNetworkInfo()}) {
    EXPECT_TRUE(area->isReadOnly());
    EXPECT_TRUE(testing::linesUpColumns(area));
  }
  const QStringList columns = {" Selected ", " IP Address ", " Hostname ", " Ping ? ", " Audit Time & Date ",
                               " Status "};
  QAbstractItemModel* model = window->lstvGlobal()->model();
  ASSERT_EQ(model->columnCount(), columns.size());
  for (int i = 0; i < columns.size(); ++i) EXPECT_EQ(model->headerData(i, Qt::Horizontal).toString(), columns[i]);
  for (const char* caption : {"Select All", "Select None", "Invert Selection", "Request Re-Audit",
                              "Check Client Status", "Reboot Windows", "Log-Off Windows", "Shutdown Windows",
                              "Close Quorvane", "Send Message"}) {
    EXPECT_NE(window->button(QString::fromLatin1(caption)), nullptr) << caption;
  }
  QStringList labels;
  for (QLabel* l : window->findChildren<QLabel*>()) labels << l->text();
  EXPECT_TRUE(labels.contains("Quorvane Pro"));
  EXPECT_TRUE(labels.contains("Quorvane Pro Server Module"));
}

TEST_F(FrmMainTest, StartUpFillsTreeListAndCategories) {
  startUp();
  EXPECT_EQ(window->statusPanel(0)->text(), "Idle");
  EXPECT_FALSE(window->statusPanel(1)->text().isEmpty());
  QStringList categories;
  for (int i = 0; i < window->lstHardware()->count(); ++i) categories << window->lstHardware()->item(i)->text();
  EXPECT_EQ(categories, (QStringList{"Printers Information", "Keyboard Information", "Processor Information",
                                     "Memory Information", "Video Information", "Sound Information",
                                     "Drives Information"}));
  QAbstractItemModel* tree = window->treeView1()->model();
  ASSERT_EQ(tree->rowCount(), 2);
  EXPECT_EQ(tree->index(0, 0).data().toString(), "corp");
  EXPECT_EQ(tree->rowCount(tree->index(0, 0)), 2);
  EXPECT_EQ(tree->index(1, 0).data().toString(), "lab");
  EXPECT_TRUE(window->treeView1()->isExpanded(tree->index(0, 0)));
  EXPECT_EQ(window->lstvGlobal()->model()->rowCount(), 3);
}

TEST_F(FrmMainTest, SelectionButtons) {
  startUp();
  core->state().clientList().setChecked(1, true);
  window->button("Invert Selection")->click();
  EXPECT_EQ(checks(), (std::vector<bool>{true, false, true}));
  window->button("Select All")->click();
  EXPECT_EQ(checks(), (std::vector<bool>{true, true, true}));
  window->button("Select None")->click();
  EXPECT_EQ(checks(), (std::vector<bool>{false, false, false}));
  // The check box of a row is its " Selected " cell.
  QAbstractItemModel* model = window->lstvGlobal()->model();
  EXPECT_TRUE(model->setData(model->index(2, 0), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(checks(), (std::vector<bool>{false, false, true}));
}

TEST_F(FrmMainTest, ClickedHeaderSortsByThatColumn) {
  startUp();
  QHeaderView* header = window->lstvGlobal()->horizontalHeader();
  emit header->sectionClicked(ClientListModel::ColHostname);
  QAbstractItemModel* model = window->lstvGlobal()->model();
  QStringList hosts;
  for (int r = 0; r < model->rowCount(); ++r) hosts << model->index(r, ClientListModel::ColHostname).data().toString();
  EXPECT_EQ(hosts, (QStringList{"alpha", "Mid", "ZETA"}));
  emit header->sectionClicked(ClientListModel::ColIp);
  EXPECT_EQ(model->index(0, ClientListModel::ColIp).data().toString(), "127.0.0.1");
}

TEST_F(FrmMainTest, NodeClicksCarryTheTag) {
  startUp();
  std::vector<QVariant> tags;
  std::vector<int> clients;
  QObject::connect(window.get(), &frmMain::treeNodeClicked, [&](const QVariant& t) { tags.push_back(t); });
  QObject::connect(window.get(), &frmMain::clientNodeClicked, [&](int i) { clients.push_back(i); });
  ASSERT_TRUE(window->selectFirstMachine());
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(window->selectedTag().toInt(), clients[0]);
  EXPECT_EQ(core->state().clientAddressTable()[static_cast<std::size_t>(clients[0])].ip, "127.0.0.1");
  window->treeView1()->setCurrentIndex(window->treeView1()->model()->index(1, 0));
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[1].toInt(), -1);
  EXPECT_EQ(clients.size(), 1u);
}

TEST_F(FrmMainTest, RequestButtonContactsTickedRows) {
  startUp();
  std::vector<QString> statuses;
  QObject::connect(&core->state().clientList(), &ClientListModel::statusWritten,
                   [&](const QString& ip, const QString& s) { statuses.push_back(ip + " " + s); });
  window->button("Request Re-Audit")->click();  // nothing ticked
  EXPECT_TRUE(statuses.empty());
  core->state().clientList().setChecked(core->state().clientList().rowOfIp("127.0.0.2"), true);
  window->button("Request Re-Audit")->click();
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses[0], "127.0.0.2 Connecting...");
  // The sample audits carry no listening port, so the row times out.
  ASSERT_TRUE(waitUntil([&] { return core->dispatcher()->pending() == 0; }));
  EXPECT_EQ(statuses.back(), "127.0.0.2 Timed out...");
}

TEST_F(FrmMainTest, SendMessageAsksAndSends) {
  startUp();
  core->state().clientList().selectAll();
  int asked = 0;
  bool answer = false;
  auto* dialog = new frmInput(*window, [&](const QString&) {
    ++asked;
    return answer;
  });
  dialog->load();
  ASSERT_FALSE(sink.messages.empty());
  EXPECT_EQ(sink.messages.back().text, "Please enter your message to be sent to all\r\nactive Quorvane Pro clients");
  EXPECT_EQ(sink.messages.back().style, 64);
  dialog->txtInput()->setText(QString::fromUtf8("Caf\xC3\xA9 closes at five"));
  dialog->cmdOK()->click();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(dialog->isVisible());  // Cancel on the confirmation keeps it open
  EXPECT_EQ(core->dispatcher()->pending(), 0);
  answer = true;
  QPointer<frmInput> alive(dialog);
  dialog->cmdOK()->click();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(core->dispatcher()->messageText(), "Caf\xE9 closes at five");
  EXPECT_EQ(core->dispatcher()->pending(), 3);
  ASSERT_TRUE(waitUntil([&] { return alive.isNull(); }));
  ASSERT_TRUE(waitUntil([&] { return core->dispatcher()->pending() == 0; }));
}

TEST_F(FrmMainTest, ScreenshotsOfEveryTab) {
  startUp();
  ASSERT_TRUE(window->selectFirstMachine());
  TempFolder shots;
  ASSERT_TRUE(window->saveScreenshots(QString::fromStdString(shots.path() + "shots")).ok());
  const std::vector<std::string> files = shots.list("shots");
  for (const char* name : {"local-view.png", "global-view.png", "reporting.png"}) {
    EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
  }
  const QImage local(QString::fromStdString(shots.path() + "shots/local-view.png"));
  const QImage global(QString::fromStdString(shots.path() + "shots/global-view.png"));
  const QImage reporting(QString::fromStdString(shots.path() + "shots/reporting.png"));
  ASSERT_FALSE(local.isNull());
  EXPECT_EQ(local.size(), window->size());
  EXPECT_NE(local, global);  // each shot shows its own tab
  EXPECT_NE(global, reporting);
}

}  // namespace
}  // namespace quorvane
