// The audit browser on real widgets (offscreen): which text reaches which
// area on node and list clicks, what stays unchanged, and which failures are
// reported under which handler's header.
#include "server/gui/BrowserController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QTabWidget>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <string>

#include "server/core/ServerCore.h"
#include "server/core/ServerState.h"
#include "server/gui/frmMain.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/TextAreaChecks.h"

namespace quorvane {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "browsercontroller_test";
  static char* argv[] = {name, nullptr};
  static QApplication* instance =
      qobject_cast<QApplication*>(QCoreApplication::instance()) ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                                               : new QApplication(argc, argv);
  return *instance;
}

AuditRecord machine(const char* ip, const char* os, const char* domain) {
  AuditRecord r;
  r.Software.Windows.OperatingSystem = os;
  ApplicationInfo a;
  a.DisplayName = "Acme Tool";
  a.Publisher = "Acme Corp";
  ApplicationInfo b = a;
  b.Publisher = "";
  b.DisplayVersion = "2.0";
  ApplicationInfo winzip;
  winzip.DisplayName = "WINZIP 9.0";
  r.Software.Applications = Array<ApplicationInfo>({a, winzip, b, ApplicationInfo{}});
  r.Hardware.PrintersPresent = false;
  r.Hardware.Video.VideoCards = Array<Text>({"Card"});
  r.Hardware.Video.VideoModes = Array<Text>({"800*600"});
  r.Hardware.Sound.boolPresent = true;
  r.Hardware.Sound.strIRQ = ip;  // tells the machines apart in the sound view
  r.Hardware.Drives = Array<DriveInfo>({DriveInfo{}});
  r.Hardware.Network.Hostname = std::string("PC-") + ip;
  r.Hardware.Network.IP = ip;
  r.Hardware.Network.DomainName = domain;
  return r;
}

class BrowserControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    tree = std::make_unique<QTreeView>();
    lstSoftware = std::make_unique<QListWidget>();
    lstHardware = std::make_unique<QListWidget>();
    rtbSoftwareInfo = std::make_unique<QPlainTextEdit>();
    rtbHardwareInfo = std::make_unique<QPlainTextEdit>();
    rtbNetworkInfo = std::make_unique<QPlainTextEdit>();
    for (std::string_view caption : kHardwareCategories) {
      lstHardware->addItem(QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
    }
    state.createTables();
    tree->setModel(&state.clientTree());
  }

  void addMachines() {
    state.addClient("127.0.0.1", machine("127.0.0.1", "Windows 98 SE", "CORP"), "a.dat");
    state.addClient("127.0.0.2", machine("127.0.0.2", "Windows 2000", "CORP"), "b.dat");
  }

  void makeController() {
    controller = std::make_unique<BrowserController>(
        BrowserWidgets{tree.get(), lstSoftware.get(), lstHardware.get(), rtbSoftwareInfo.get(),
                       rtbHardwareInfo.get(), rtbNetworkInfo.get()},
        state, sink);
  }

  QStringList softwareItems() const {
    QStringList items;
    for (int i = 0; i < lstSoftware->count(); ++i) items << lstSoftware->item(i)->text();
    return items;
  }

  QModelIndex domainNode() { return state.clientTree().index(0, 0); }

  ServerState state;
  testing::RecordingSink sink;
  std::unique_ptr<QTreeView> tree;
  std::unique_ptr<QListWidget> lstSoftware;
  std::unique_ptr<QListWidget> lstHardware;
  std::unique_ptr<QPlainTextEdit> rtbSoftwareInfo;
  std::unique_ptr<QPlainTextEdit> rtbHardwareInfo;
  std::unique_ptr<QPlainTextEdit> rtbNetworkInfo;
  std::unique_ptr<BrowserController> controller;
};

TEST_F(BrowserControllerTest, MachineClickFillsEveryView) {
  addMachines();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));

  EXPECT_EQ(softwareItems(),
            (QStringList{"Windows 98 SE", "Acme Tool", "WINZIP 9.0", "Acme Tool"}));
  EXPECT_EQ(lstSoftware->currentRow(), 0);
  EXPECT_TRUE(rtbSoftwareInfo->toPlainText().startsWith("Operating System : \n\tWindows 98 SE\n\n"));
  EXPECT_EQ(lstHardware->currentRow(), 0);
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), "No printers attached/connected");
  EXPECT_EQ(rtbNetworkInfo->toPlainText(),
            "Hostname : \tPC-127.0.0.1\n"
            "IP Address : \t127.0.0.1\n"
            "Domain Name : \tcorp\n"
            "Is NT System : \tFalse\n");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BrowserControllerTest, SharedDisplayNameShowsBothBlocks) {
  addMachines();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  controller->clickSoftwareRow(3);
  EXPECT_EQ(rtbSoftwareInfo->toPlainText(),
            "Display Name : \n\tAcme Tool\n\n"
            "Publisher : \n\tAcme Corp\n\n"
            "Display Version : \n\t\n\n"
            "Install Location : \n\t\n\n"
            "URL Info : \n\t\n\n"
            "Uninstall String : \n\t\n\n"
            "Display Name : \n\tAcme Tool\n\n"
            "Publisher : \n\t\n\n"
            "Display Version : \n\t2.0\n\n"
            "Install Location : \n\t\n\n"
            "URL Info : \n\t\n\n"
            "Uninstall String : \n\t\n\n");
  controller->clickSoftwareRow(2);
  EXPECT_TRUE(rtbSoftwareInfo->toPlainText().startsWith(
      "Display Name : \n\tWINZIP 9.0\n\nPublisher : \n\tWinZip Computing, Inc*\n\n"));
}

TEST_F(BrowserControllerTest, ChosenCategoryFollowsToNextMachine) {
  addMachines();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  controller->clickHardwareRow(5);  // Sound Information
  EXPECT_TRUE(rtbHardwareInfo->toPlainText().contains("IRQ : \t127.0.0.1\n"));
  controller->clickNode(state.clientTree().clientIndex(1));
  EXPECT_EQ(lstHardware->currentRow(), 5);
  EXPECT_TRUE(rtbHardwareInfo->toPlainText().contains("IRQ : \t127.0.0.2\n"));
  EXPECT_EQ(lstSoftware->item(0)->text(), "Windows 2000");
}

TEST_F(BrowserControllerTest, DomainAndPlaceholderNodesOnlyEmptyTheSoftwareList) {
  addMachines();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  const QString software = rtbSoftwareInfo->toPlainText();
  const QString hardware = rtbHardwareInfo->toPlainText();
  const QString network = rtbNetworkInfo->toPlainText();

  controller->clickNode(domainNode());
  EXPECT_EQ(lstSoftware->count(), 0);
  EXPECT_EQ(rtbSoftwareInfo->toPlainText(), software);
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), hardware);
  EXPECT_EQ(rtbNetworkInfo->toPlainText(), network);

  auto* placeholder = state.clientTree().addNode(nullptr, "root", "(no data files)", QVariant());
  controller->clickNode(state.clientTree().indexOf(placeholder));
  EXPECT_EQ(lstSoftware->count(), 0);
  EXPECT_EQ(rtbNetworkInfo->toPlainText(), network);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BrowserControllerTest, ListClicksWithoutSelectedNodeClearSilently) {
  addMachines();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  ASSERT_FALSE(rtbHardwareInfo->toPlainText().isEmpty());
  tree->selectionModel()->clear();
  controller->clickHardwareRow(2);
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), "");
  controller->clickSoftwareRow(1);
  EXPECT_EQ(rtbSoftwareInfo->toPlainText(), "");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BrowserControllerTest, NoCategorySelectedPicksTheFirst) {
  addMachines();
  makeController();
  lstHardware->setCurrentRow(-1);
  controller->clickNode(state.clientTree().clientIndex(1));
  EXPECT_EQ(lstHardware->currentRow(), 0);
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), "No printers attached/connected");
}

TEST_F(BrowserControllerTest, AbsentApplicationsAndDrivesShowEmptyLists) {
  AuditRecord r = machine("127.0.0.3", "Windows XP", "home");
  r.Software.Applications.clear();
  r.Hardware.Drives.clear();
  state.addClient("127.0.0.3", r, "c.dat");
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  EXPECT_EQ(softwareItems(), QStringList{"Windows XP"});
  EXPECT_FALSE(rtbNetworkInfo->toPlainText().isEmpty());
  controller->clickHardwareRow(6);
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), "");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BrowserControllerTest, SubscriptErrorInNodeClickIsReportedAndStops) {
  AuditRecord r = machine("127.0.0.4", "Windows ME", "home");
  r.Software.Applications.lowerBound = 1;
  state.addClient("127.0.0.4", r, "d.dat");
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  EXPECT_EQ(softwareItems(), QStringList{"Windows ME"});
  EXPECT_EQ(rtbNetworkInfo->toPlainText(), "");  // the views were not refreshed
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].title, "QuorvaneServer");
  EXPECT_EQ(sink.messages[0].style, 16);
  EXPECT_TRUE(sink.messages[0].text.starts_with(
      "Error in : frmMain.TreeView1_NodeClick\r\n\r\n"
      "Error Number : 9\r\n"
      "Error Description : Subscript out of range\r\n"
      "On line : "))
      << sink.messages[0].text;
}

TEST_F(BrowserControllerTest, TagPastTheTableIsReported) {
  addMachines();
  makeController();
  auto* stray = state.clientTree().addNode(nullptr, "x", "192.0.2.9", QVariant(7));
  controller->clickNode(state.clientTree().indexOf(stray));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_TRUE(sink.messages[0].text.starts_with(
      "Error in : frmMain.TreeView1_NodeClick\r\n\r\nError Number : 9\r\n"));
  sink.messages.clear();
  controller->clickHardwareRow(1);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_TRUE(sink.messages[0].text.starts_with(
      "Error in : frmMain.lstHardware_Click\r\n\r\nError Number : 9\r\n"));
}

TEST_F(BrowserControllerTest, HardwareViewErrorIsReportedUnderItsHandler) {
  AuditRecord r = machine("127.0.0.5", "Windows 95", "home");
  r.Hardware.Video.VideoModes.lowerBound = 1;  // a hostile record: the walk from 0 fails
  state.addClient("127.0.0.5", r, "e.dat");
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  ASSERT_TRUE(sink.messages.empty());
  controller->clickHardwareRow(4);  // Video Information
  EXPECT_EQ(rtbHardwareInfo->toPlainText(), "");
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_TRUE(sink.messages[0].text.starts_with(
      "Error in : frmMain.lstHardware_Click\r\n\r\n"
      "Error Number : 9\r\n"
      "Error Description : Subscript out of range\r\n"));
}

TEST_F(BrowserControllerTest, AbsentVideoModesShowAnEmptyListWithoutAMessage) {
  AuditRecord r = machine("127.0.0.7", "Debian GNU/Linux 12", "home");
  r.Hardware.Video.VideoModes.clear();  // a headless PC
  state.addClient("127.0.0.7", r, "g.dat");
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  controller->clickHardwareRow(4);  // Video Information
  EXPECT_TRUE(rtbHardwareInfo->toPlainText().endsWith("Supported Video Modes : \n"))
      << rtbHardwareInfo->toPlainText().toStdString();
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BrowserControllerTest, AreasAreReadOnlyAndLineUpAndListsFollowTheUser) {
  addMachines();
  makeController();
  for (QPlainTextEdit* area : {rtbSoftwareInfo.get(), rtbHardwareInfo.get(), rtbNetworkInfo.get()}) {
    EXPECT_TRUE(area->isReadOnly());
    EXPECT_TRUE(testing::linesUpColumns(area));
  }
  controller->clickNode(state.clientTree().clientIndex(0));
  // A user's pick in the lists arrives through the selection signal.
  lstHardware->setCurrentRow(2);
  EXPECT_TRUE(rtbHardwareInfo->toPlainText().startsWith("CPU Class : \t"));
  lstSoftware->setCurrentRow(2);
  EXPECT_TRUE(rtbSoftwareInfo->toPlainText().startsWith("Display Name : \n\tWINZIP 9.0\n"));
}

TEST_F(BrowserControllerTest, HardwareAreaReturnsToItsPlace) {
  AuditRecord r = machine("127.0.0.6", "Windows 2000", "home");
  r.Hardware.Video.VideoModes.clear();
  for (int i = 0; i < 80; ++i) r.Hardware.Video.VideoModes.push_back("mode " + std::to_string(i));
  state.addClient("127.0.0.6", r, "f.dat");
  QWidget page;  // a parent without a layout: the area keeps its own place
  page.resize(600, 600);
  rtbHardwareInfo->setParent(&page);
  page.show();
  makeController();
  controller->clickNode(state.clientTree().clientIndex(0));
  rtbHardwareInfo->setGeometry(5, 400, 300, 80);  // moved away
  controller->clickHardwareRow(4);                // Video Information
  EXPECT_EQ(rtbHardwareInfo->geometry(), QRect(5, 2040 / 15, 300, 3135 / 15));
  QApplication::processEvents();
  QScrollBar* bar = rtbHardwareInfo->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  bar->setValue(bar->maximum());
  controller->clickHardwareRow(4);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), 0);
  rtbHardwareInfo->setParent(nullptr);
}

TEST_F(BrowserControllerTest, TreeOpensToItsMachines) {
  makeController();
  tree->show();
  addMachines();
  EXPECT_TRUE(tree->isExpanded(domainNode()));
}

// The browser inside the main window: started from a DataStore, the first
// machine's views are filled, and the screenshots of every view are written.
TEST(BrowserInWindowTest, FillsViewsAndWritesItsScreenshots) {
  app();
  testing::TempFolder dir;
  AuditRecord first = testing::sampleRecord(1, "127.0.0.1", "CORP");
  dir.write("DataStore/127.0.0.1.dat", testing::storedForm(first) + "\r\n");
  dir.write("DataStore/127.0.0.2.dat",
            testing::storedForm(testing::sampleRecord(2, "127.0.0.2", "LAB")) + "\r\n");
  testing::RecordingSink sink;
  ServerCore core(dir.path(), sink);
  frmMain window(core);
  window.show();
  StartupOptions options;
  options.listen = false;
  ASSERT_TRUE(window.startUp(options).ok());

  ASSERT_TRUE(window.selectFirstMachine());
  ASSERT_GT(window.lstSoftware()->count(), 1);
  EXPECT_EQ(window.lstSoftware()->item(0)->text(),
            displayText(first.Software.Windows.OperatingSystem));
  EXPECT_EQ(window.lstSoftware()->currentRow(), 0);
  EXPECT_TRUE(window.rtbSoftwareInfo()->toPlainText().startsWith("Operating System : \n\t"));
  EXPECT_EQ(window.lstHardware()->currentRow(), 0);
  EXPECT_FALSE(window.rtbHardwareInfo()->toPlainText().isEmpty());
  EXPECT_TRUE(window.rtbNetworkInfo()->toPlainText().startsWith(
      "Hostname : \t" + displayText(first.Hardware.Network.Hostname) + "\n"));
  EXPECT_TRUE(window.treeView1()->isExpanded(window.treeView1()->currentIndex().parent()));

  ASSERT_TRUE(window.saveScreenshots(QString::fromStdString(dir.path() + "shots")).ok());
  const std::vector<std::string> files = dir.list("shots");
  const auto has = [&files](const std::string& name) {
    return std::find(files.begin(), files.end(), name) != files.end();
  };
  const std::vector<std::string> mine = {"software.png",   "network.png",    "hardware-1.png",
                                         "hardware-2.png", "hardware-3.png", "hardware-4.png",
                                         "hardware-5.png", "hardware-6.png", "hardware-7.png"};
  for (const std::string& name : mine) EXPECT_TRUE(has(name)) << name;
  // Each picture shows its own view.
  for (std::size_t i = 0; i + 1 < mine.size(); ++i) {
    const QImage a(QString::fromStdString(dir.path() + "shots/" + mine[i]));
    const QImage b(QString::fromStdString(dir.path() + "shots/" + mine[i + 1]));
    ASSERT_FALSE(a.isNull()) << mine[i];
    EXPECT_NE(a, b) << mine[i] << " and " << mine[i + 1];
  }
  EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
}

}  // namespace
}  // namespace quorvane
