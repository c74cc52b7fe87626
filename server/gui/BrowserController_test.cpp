// The audit browser on real widgets (offscreen): which text reaches which
// area on node and list clicks, what stays unchanged, and which failures are
// reported under which handler's header.
#include "server/gui/BrowserController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeView>
#include <memory>
#include <string>

#include "server/core/ServerState.h"
#include "server/testsupport/QtTestSupport.h"

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
  r.Hardware.Video.VideoModes.clear();
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

TEST_F(BrowserControllerTest, AreasAreReadOnlyAndFixedPitchAndListsFollowTheUser) {
  addMachines();
  makeController();
  for (QPlainTextEdit* area : {rtbSoftwareInfo.get(), rtbHardwareInfo.get(), rtbNetworkInfo.get()}) {
    EXPECT_TRUE(area->isReadOnly());
    EXPECT_TRUE(QFontInfo(area->font()).fixedPitch());
  }
  controller->clickNode(state.clientTree().clientIndex(0));
  // A user's pick in the lists arrives through the selection signal.
  lstHardware->setCurrentRow(2);
  EXPECT_TRUE(rtbHardwareInfo->toPlainText().startsWith("CPU Class : \t"));
  lstSoftware->setCurrentRow(2);
  EXPECT_TRUE(rtbSoftwareInfo->toPlainText().startsWith("Display Name : \n\tWINZIP 9.0\n"));
}

TEST_F(BrowserControllerTest, TreeOpensToItsMachines) {
  makeController();
  tree->show();
  addMachines();
  EXPECT_TRUE(tree->isExpanded(domainNode()));
}

}  // namespace
}  // namespace quorvane
