// The console window, offscreen and as a person uses it.
//
// Offscreen: captions and columns, start-up filling the tree, the list and
// the hardware categories, the selection buttons, sorting by a clicked
// header, node clicks, the request buttons, "Send Message" through frmInput,
// and the screenshots.
//
// Start-up over a DataStore of many clients: the tree and the list are
// frozen while it loads and brought up to date once at the end (every domain
// opened, the last client scrolled to), so that start-up time grows with the
// number of clients, not with its square.
//
// By mouse and keys: the real main window, clicked with the mouse on the
// rectangles of its items and driven by keys. After every step the three
// text areas must show the clicked machine's texts exactly. Also: start-up
// while another program holds the listening port, the question before a
// shutdown (a loopback listener stands in for the PC) and the question
// before a report replaces a file. Message boxes are the real ones, answered
// by key or mouse while they run. These run once more on a real X server.
#include "server/gui/frmMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/ExchangeBytes.h"
#include "server/core/AuditViews.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerTexts.h"
#include "server/gui/frmInput.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/TextAreaChecks.h"
#include "server/testsupport/WidgetTestSupport.h"

// Failures print the texts, not their characters' bytes.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::TempFolder;
using testing::sampleRecord;
using testing::storedForm;
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

// ---------------------------------------------------------------- start-up over many clients

TEST(StartupLoad, ManyClientsEndWithEveryDomainOpenAndTheLastClientInView) {
  testing::ensureWidgetApplication();
  TempFolder dir;
  const char* domains[] = {"corp", "lab", "sales"};
  constexpr int kClients = 600;
  std::string last;
  for (int i = 0; i < kClients; ++i) {
    const std::string ip = "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
    dir.write("DataStore/" + ip + ".dat", storedForm(sampleRecord(i, ip, domains[i % 3], 0, 1)) + "\r\n");
  }
  RecordingSink sink;
  ServerCore core(dir.path(), sink);
  frmMain window(core);
  window.show();
  bool frozenWhileLoading = true;
  int seen = 0;
  QObject::connect(&core.state(), &ServerState::clientAdded, [&](int) {
    ++seen;
    frozenWhileLoading = frozenWhileLoading && !window.treeView1()->updatesEnabled() &&
                         !window.lstvGlobal()->updatesEnabled();
  });
  StartupOptions options;
  options.listen = false;
  ASSERT_TRUE(window.startUp(options).ok());
  EXPECT_EQ(seen, kClients);
  EXPECT_TRUE(frozenWhileLoading);
  EXPECT_TRUE(window.treeView1()->updatesEnabled());
  EXPECT_TRUE(window.lstvGlobal()->updatesEnabled());
  EXPECT_EQ(core.state().clientList().rowCount(), kClients);

  ClientTreeModel& tree = core.state().clientTree();
  ASSERT_EQ(tree.rowCount(), 3);
  for (int d = 0; d < 3; ++d) {
    const QModelIndex domain = tree.index(d, 0);
    EXPECT_TRUE(window.treeView1()->isExpanded(domain)) << d;
    EXPECT_EQ(tree.rowCount(domain), kClients / 3) << d;
  }
  // The last client loaded is the one in view (as when each was made visible).
  QModelIndex lastClient;
  for (int d = 0; d < 3; ++d) {
    const QModelIndex domain = tree.index(d, 0);
    const QModelIndex candidate = tree.index(tree.rowCount(domain) - 1, 0, domain);
    if (tree.tagOf(candidate).toInt() == kClients - 1) lastClient = candidate;
  }
  ASSERT_TRUE(lastClient.isValid());
  const QRect shown = window.treeView1()->visualRect(lastClient);
  EXPECT_TRUE(window.treeView1()->viewport()->rect().intersects(shown));
  EXPECT_GT(window.treeView1()->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(sink.messages.empty());
}

// ---------------------------------------------------------------- by mouse and keys

// A machine whose every view differs from every other machine's.
AuditRecord machine(std::uint32_t seed, const std::string& ip, const std::string& domain, int listenPort = 0) {
  AuditRecord r = testing::sampleRecord(seed, ip, domain, listenPort, 4);
  r.Software.Windows.RegisteredOwner = "Owner of " + ip;
  r.Software.Windows.WindowsID = "ID-" + ip;
  r.Hardware.PrintersPresent = true;
  PrinterInfo printer;
  printer.DisplayName = "Printer of " + ip;
  r.Hardware.Printers = Array<PrinterInfo>({printer});
  r.Hardware.Keyboard.Model = "Keyboard of " + ip;
  r.Hardware.Processor.CPUClass = "CPU of " + ip;
  r.Hardware.Memory.TotalPhysicalMemory = ip + " Bytes";
  r.Hardware.Video.VideoCards = Array<Text>({"Card of " + ip});
  r.Hardware.Sound.strIRQ = ip;
  DriveInfo disk;
  disk.DriveName = "C:\\";
  disk.DriveLabel = "Disk of " + ip;
  r.Hardware.Drives = Array<DriveInfo>({disk, DriveInfo{}});
  return r;
}

// The text area's form of a view text.
QString area(const std::string& text1252) {
  QString text = displayText(text1252);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// A port below the system's ephemeral range that nothing listens on now.
int freePort() {
  static int next = 20000 + static_cast<int>(::getpid() % 9000);
  for (int attempt = 0; attempt < 4000; ++attempt) {
    const int port = next++;
    if (next >= 32000) next = 20000;
    QTcpServer probe;
    if (probe.listen(QHostAddress::AnyIPv4, static_cast<quint16>(port))) return port;
  }
  return 0;
}

// Stands in for a PC's agent: a listener on 127.0.0.1 that keeps the bytes
// of every connection.
class AgentStandIn : public QObject {
 public:
  AgentStandIn() {
    for (int attempt = 0; attempt < 50 && !server_.isListening(); ++attempt) {
      server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), static_cast<quint16>(freePort()));
    }
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        const std::size_t i = received.size();
        received.emplace_back();
        connect(s, &QTcpSocket::readyRead, this, [this, s, i] { received[i] += s->readAll(); });
        connect(s, &QTcpSocket::disconnected, this, [this, s, i] {
          received[i] += s->readAll();
          ++closed;
          s->deleteLater();
        });
      }
    });
  }
  int port() const { return server_.serverPort(); }
  std::vector<QByteArray> received;
  int closed = 0;

 private:
  QTcpServer server_;
};

// Answers every modal message box that opens while it lives, and records
// its text and default button.
class BoxAnswerer : public QObject {
 public:
  explicit BoxAnswerer(std::function<void(QMessageBox*)> answer) : answer_(std::move(answer)) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box == last_ || !box->isVisible()) return;
      last_ = box;
      texts << box->text();
      defaults.push_back(box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton);
      answer_(box);
    });
    timer_.start();
  }
  QStringList texts;
  std::vector<QMessageBox::StandardButton> defaults;

 private:
  std::function<void(QMessageBox*)> answer_;
  QTimer timer_;
  QMessageBox* last_ = nullptr;
};

void pressEscape(QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }
void pressReturn(QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }
void clickYes(QMessageBox* box) { QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton); }

void clickItem(QAbstractItemView* view, const QModelIndex& index) {
  view->scrollTo(index);
  const QRect rect = view->visualRect(index);
  ASSERT_TRUE(rect.isValid()) << "item not shown";
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickTab(QTabWidget* tabs, int index) {
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  ASSERT_EQ(tabs->currentIndex(), index);
}

void clickButton(QPushButton* button) {
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureWidgetApplication(); }

  void writeMachine(const AuditRecord& r) {
    dir.write("DataStore/" + r.Hardware.Network.IP + ".dat", testing::storedForm(r) + "\r\n");
  }

  void openWindow(bool listen = false) {
    core = std::make_unique<ServerCore>(dir.path(), sink);
    core->setCommandTimeoutMs(3000);
    window = std::make_unique<frmMain>(*core);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    StartupOptions options;
    options.listen = listen;
    ASSERT_TRUE(window->startUp(options).ok());
    QApplication::processEvents();
  }

  int recordIndex(const std::string& ip) {
    const std::optional<int> index = core->state().findClient(ip);
    return index ? *index : -1;
  }
  const AuditRecord& record(const std::string& ip) {
    return core->state().clientTable()[static_cast<std::size_t>(recordIndex(ip))];
  }
  QModelIndex node(const std::string& ip) { return core->state().clientTree().clientIndex(recordIndex(ip)); }

  // With QUORVANE_SHOTS_DIR set, the window as it looks now is saved there
  // as <name>.png (for a person to look at the click sequence).
  void shot(const char* name) {
    const QString dir = qEnvironmentVariable("QUORVANE_SHOTS_DIR");
    if (dir.isEmpty()) return;
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"), "PNG"));
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::unique_ptr<frmMain> window;
};

// --- Every view follows the click -------------------------------------------

class ConsoleMouseTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    writeMachine(machine(1, "127.0.0.1", "CORP"));
    AuditRecord headless = machine(2, "127.0.0.2", "CORP");
    headless.Hardware.Video.VideoModes.clear();  // a PC without a display
    writeMachine(headless);
    writeMachine(machine(3, "127.0.0.3", "LAB"));
    openWindow();
  }

  QString softwareText(const std::string& ip, int row) {
    const SoftwareInfo& software = record(ip).Software;
    if (row == 0) return area(windowsInfoText(software.Windows));
    const std::string name = software.Applications.items[static_cast<std::size_t>(row - 1)].DisplayName;
    return area(softwareInfoText(software, row, name).text);
  }
  QString hardwareText(const std::string& ip, int category) {
    return area(hardwareInfoText(record(ip).Hardware, kHardwareCategories[static_cast<std::size_t>(category)]).text);
  }

  // All three areas and the software list show `ip`'s texts.
  void expectShows(const std::string& ip, int softwareRow, int category, const std::string& step) {
    SCOPED_TRACE(step);
    const AuditRecord& r = record(ip);
    QListWidget* software = window->lstSoftware();
    ASSERT_EQ(software->count(), static_cast<int>(r.Software.Applications.size()));
    EXPECT_EQ(software->item(0)->text(), displayText(r.Software.Windows.OperatingSystem));
    EXPECT_EQ(window->rtbSoftwareInfo()->toPlainText(), softwareText(ip, softwareRow));
    EXPECT_EQ(window->lstHardware()->selectedItems().size(), 1);
    EXPECT_EQ(window->lstHardware()->row(window->lstHardware()->selectedItems().value(0)), category);
    EXPECT_EQ(window->rtbHardwareInfo()->toPlainText(), hardwareText(ip, category));
    EXPECT_EQ(window->rtbNetworkInfo()->toPlainText(), area(networkInfoText(r.Hardware.Network)));
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
  }
};

TEST_F(ConsoleMouseTest, MachinesDifferInEveryView) {
  EXPECT_NE(softwareText("127.0.0.1", 0), softwareText("127.0.0.2", 0));
  for (int c = 0; c < 7; ++c) EXPECT_NE(hardwareText("127.0.0.1", c), hardwareText("127.0.0.2", c)) << c;
  EXPECT_TRUE(hardwareText("127.0.0.2", 4).endsWith("Supported Video Modes : \n"));
}

TEST_F(ConsoleMouseTest, TreeClicksABAFillEveryView) {
  clickTab(window->tabStrip(), frmMain::TabLocalView);
  clickTab(window->deviceTabs(), frmMain::DeviceSoftware);
  clickItem(window->treeView1(), node("127.0.0.1"));
  expectShows("127.0.0.1", 0, 0, "first click on A");
  ASSERT_FALSE(window->rtbSoftwareInfo()->toPlainText().isEmpty());
  shot("01-A");
  clickItem(window->treeView1(), node("127.0.0.2"));
  expectShows("127.0.0.2", 0, 0, "then B");
  shot("02-B");
  clickItem(window->treeView1(), node("127.0.0.1"));
  expectShows("127.0.0.1", 0, 0, "A again");
  shot("03-A");

  // The hardware and network views follow as well.
  clickTab(window->deviceTabs(), frmMain::DeviceHardware);
  clickItem(window->lstHardware(), window->lstHardware()->model()->index(6, 0));  // Drives Information
  expectShows("127.0.0.1", 0, 6, "A's drives");
  shot("04-A-drives");
  clickItem(window->treeView1(), node("127.0.0.2"));
  expectShows("127.0.0.2", 0, 6, "B's drives");
  shot("05-B-drives");
  clickTab(window->deviceTabs(), frmMain::DeviceNetwork);
  clickItem(window->treeView1(), node("127.0.0.1"));
  expectShows("127.0.0.1", 0, 6, "A's network");
  shot("06-A-network");
  clickItem(window->treeView1(), node("127.0.0.2"));
  expectShows("127.0.0.2", 0, 6, "B's network");
  shot("07-B-network");
  clickTab(window->deviceTabs(), frmMain::DeviceSoftware);
  clickItem(window->treeView1(), node("127.0.0.1"));

  // An application picked by mouse, then another machine: its Windows item.
  clickItem(window->lstSoftware(), window->lstSoftware()->model()->index(2, 0));
  expectShows("127.0.0.1", 2, 6, "A's second application");
  shot("08-A-application");
  clickItem(window->treeView1(), node("127.0.0.3"));
  expectShows("127.0.0.3", 0, 6, "C in another domain");

  // A domain node empties the software list and leaves the areas alone.
  const QString network = window->rtbNetworkInfo()->toPlainText();
  clickItem(window->treeView1(), node("127.0.0.1").parent());
  EXPECT_EQ(window->lstSoftware()->count(), 0);
  EXPECT_EQ(window->rtbNetworkInfo()->toPlainText(), network);
}

TEST_F(ConsoleMouseTest, TreeByKeysFollowsTheCurrentNode) {
  clickItem(window->treeView1(), node("127.0.0.1"));
  window->treeView1()->setFocus();
  QTest::keyClick(window->treeView1(), Qt::Key_Down);
  ASSERT_EQ(window->treeView1()->currentIndex(), node("127.0.0.2"));
  expectShows("127.0.0.2", 0, 0, "Down to B");
  QTest::keyClick(window->treeView1(), Qt::Key_Up);
  expectShows("127.0.0.1", 0, 0, "Up to A");
}

TEST_F(ConsoleMouseTest, EveryCategoryByMouseAndByKeys) {
  clickItem(window->treeView1(), node("127.0.0.1"));
  clickTab(window->deviceTabs(), frmMain::DeviceHardware);
  QListWidget* categories = window->lstHardware();
  for (int c = 0; c < 7; ++c) {
    clickItem(categories, categories->model()->index(c, 0));
    expectShows("127.0.0.1", 0, c, "A, mouse on category " + std::to_string(c));
  }
  // The category stays chosen for the next machine; B has no video modes.
  clickItem(categories, categories->model()->index(4, 0));
  clickItem(window->treeView1(), node("127.0.0.2"));
  expectShows("127.0.0.2", 0, 4, "B keeps Video Information");

  categories->setFocus();
  QTest::keyClick(categories, Qt::Key_Home);
  expectShows("127.0.0.2", 0, 0, "Home");
  for (int c = 1; c < 7; ++c) {
    QTest::keyClick(categories, Qt::Key_Down);
    expectShows("127.0.0.2", 0, c, "Down to category " + std::to_string(c));
  }
  for (int c = 5; c >= 0; --c) {
    QTest::keyClick(categories, Qt::Key_Up);
    expectShows("127.0.0.2", 0, c, "Up to category " + std::to_string(c));
  }
  // Back to A by mouse: the category picked by keys shows A's text.
  clickItem(window->treeView1(), node("127.0.0.1"));
  expectShows("127.0.0.1", 0, 0, "A after keys");
}

TEST_F(ConsoleMouseTest, ClickOnTheShownMachineShowsItsNewAudit) {
  clickItem(window->treeView1(), node("127.0.0.1"));
  clickTab(window->deviceTabs(), frmMain::DeviceHardware);
  clickItem(window->lstHardware(), window->lstHardware()->model()->index(1, 0));
  AuditRecord newer = machine(9, "127.0.0.1", "corp");
  newer.Hardware.Keyboard.Model = "Replaced keyboard";
  core->state().replaceClient(recordIndex("127.0.0.1"), newer);
  EXPECT_FALSE(window->rtbHardwareInfo()->toPlainText().contains("Replaced keyboard"));  // no redraw by itself
  clickItem(window->treeView1(), node("127.0.0.1"));
  expectShows("127.0.0.1", 0, 1, "A clicked again");
  EXPECT_TRUE(window->rtbHardwareInfo()->toPlainText().contains("Replaced keyboard"));
}

// --- Start-up while another program holds the port ---------------------------

TEST_F(ConsoleTest, PortInUseStartUpStillBrowsesCommandsAndReports) {
  QTcpServer squatter;
  int port = 0;
  for (int attempt = 0; attempt < 50 && !squatter.isListening(); ++attempt) {
    port = freePort();
    squatter.listen(QHostAddress::AnyIPv4, static_cast<quint16>(port));
  }
  ASSERT_TRUE(squatter.isListening());
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(port) + "\r\n");
  AgentStandIn agent;
  ASSERT_GT(agent.port(), 0);
  writeMachine(machine(1, "127.0.0.1", "CORP", agent.port()));
  writeMachine(machine(2, "127.0.0.2", "CORP"));
  writeMachine(machine(3, "127.0.0.3", "LAB"));
  const std::string dovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";
  ASSERT_TRUE(std::filesystem::exists(dovrel)) << "Dovrel.so is not built";
  std::filesystem::copy_file(dovrel, dir.path() + "Dovrel.so");

  openWindow(/*listen=*/true);
  shot("09-intake-off");
  EXPECT_TRUE(core->intakeOff());
  EXPECT_EQ(window->statusPanel(0)->text(), QString("Intake off: port %1 in use").arg(port));
  ASSERT_EQ(sink.messages.size(), 1u);
  const std::string& text = sink.messages[0].text;
  EXPECT_TRUE(text.starts_with("Error in : QuorvaneServer.frmMain.Form_Load\r\n\r\nError Number : 10048\r\n")) << text;
  EXPECT_NE(text.find("Port " + std::to_string(port) + " is in use"), std::string::npos) << text;
  EXPECT_NE(text.find("ListenPortNumber in serverSettings.txt"), std::string::npos) << text;

  // Every stored machine is shown.
  EXPECT_EQ(core->state().clientList().rowCount(), 3);
  for (const char* ip : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) {
    ASSERT_TRUE(node(ip).isValid()) << ip;
    EXPECT_EQ(node(ip).data().toString(), ip);
  }
  clickItem(window->treeView1(), node("127.0.0.3"));
  EXPECT_EQ(window->rtbNetworkInfo()->toPlainText(), area(networkInfoText(record("127.0.0.3").Hardware.Network)));

  // A command reaches the agent.
  clickTab(window->tabStrip(), frmMain::TabGlobalView);
  core->state().clientList().setChecked(core->state().clientList().rowOfIp("127.0.0.1"), true);
  clickButton(window->button("Request Re-Audit"));
  ASSERT_TRUE(waitUntil([&] { return agent.closed == 1 && core->dispatcher()->pending() == 0; }));
  EXPECT_EQ(agent.received[0], QByteArray(tokAudit.data(), static_cast<qsizetype>(tokAudit.size())));

  // A report is written from the Reporting tab.
  clickTab(window->tabStrip(), frmMain::TabReporting);
  auto* types = window->findChild<QTreeWidget*>(QStringLiteral("lstvReportTypes"));
  auto* formats = window->findChild<QTreeWidget*>(QStringLiteral("lstvFormatTypes"));
  auto* path = window->findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
  ASSERT_TRUE(types && formats && path);
  ASSERT_EQ(types->topLevelItemCount(), 6);
  clickItem(types, types->model()->index(1, 0));  // XML Data Export
  ASSERT_EQ(formats->topLevelItemCount(), 1);
  clickItem(formats, formats->model()->index(0, 0));
  const std::string out = dir.path() + "export.xml";
  QTest::keyClicks(path, QString::fromStdString(out));
  clickButton(window->findChild<QPushButton*>(QStringLiteral("cmdGo")));
  std::ifstream in(out, std::ios::binary);
  std::stringstream xml;
  xml << in.rdbuf();
  for (const char* ip : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) EXPECT_NE(xml.str().find(ip), std::string::npos) << ip;
  EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblReportResult"))->text(),
            QString::fromStdString("Report written to " + out));

  // And a spreadsheet file: the inventory, one record per computer and application.
  clickItem(types, types->model()->index(3, 0));
  EXPECT_EQ(types->topLevelItem(3)->text(0), "Software Inventory");
  ASSERT_EQ(formats->topLevelItemCount(), 1);
  EXPECT_EQ(formats->topLevelItem(0)->text(0), "Output to CSV");
  clickItem(formats, formats->model()->index(0, 0));
  const std::string csv = dir.path() + "inventory.csv";
  QTest::keyClick(path, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(path, QString::fromStdString(csv));
  clickButton(window->findChild<QPushButton*>(QStringLiteral("cmdGo")));
  std::ifstream inventory(csv, std::ios::binary);
  std::stringstream rows;
  rows << inventory.rdbuf();
  EXPECT_TRUE(rows.str().starts_with("\xEF\xBB\xBFIP Address,Host Name,Domain,Product")) << rows.str().substr(0, 60);
  for (const char* ip : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) {
    EXPECT_NE(rows.str().find(std::string("\r\n") + ip + ","), std::string::npos) << ip;
  }
  EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblReportResult"))->text(),
            QString::fromStdString("Report written to " + csv));
  EXPECT_EQ(sink.messages.size(), 1u) << sink.messages.back().text;
}

// --- Nothing destructive without a question ----------------------------------

TEST_F(ConsoleTest, ShutdownAsksNoAndEscapeSendNothingYesSends) {
  AgentStandIn agent;
  ASSERT_GT(agent.port(), 0);
  writeMachine(machine(1, "127.0.0.1", "CORP", agent.port()));
  writeMachine(machine(2, "127.0.0.2", "CORP"));
  openWindow();
  clickTab(window->tabStrip(), frmMain::TabGlobalView);
  ClientListModel& list = core->state().clientList();
  list.setChecked(list.rowOfIp("127.0.0.1"), true);

  struct Step {
    const char* name;
    void (*answer)(QMessageBox*);
  };
  for (const Step& step : {Step{"Escape", pressEscape}, Step{"Return on the default", pressReturn}}) {
    SCOPED_TRACE(step.name);
    BoxAnswerer boxes(step.answer);
    clickButton(window->button("Shutdown Windows"));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], "Shutdown Windows on 1 computer(s)?");
    EXPECT_EQ(boxes.defaults[0], QMessageBox::No);
    EXPECT_EQ(core->dispatcher()->pending(), 0);
    EXPECT_EQ(list.row(list.rowOfIp("127.0.0.1")).status, "");
  }

  {
    BoxAnswerer boxes(clickYes);
    clickButton(window->button("Shutdown Windows"));
    ASSERT_EQ(boxes.texts.size(), 1);
  }
  ASSERT_TRUE(waitUntil([&] { return agent.closed == 1 && core->dispatcher()->pending() == 0; }));
  ASSERT_EQ(agent.received.size(), 1u);  // No and Escape opened no connection
  EXPECT_EQ(agent.received[0], QByteArray(tokPowerOff.data(), static_cast<qsizetype>(tokPowerOff.size())));
  EXPECT_EQ(list.row(list.rowOfIp("127.0.0.1")).status, "Request Sent");

  // The two other asking buttons name themselves and the count of PCs.
  list.selectAll();
  for (const char* caption : {"Reboot Windows", "Log-Off Windows", "Close Quorvane"}) {
    BoxAnswerer boxes(pressEscape);
    clickButton(window->button(caption));
    ASSERT_EQ(boxes.texts.size(), 1) << caption;
    EXPECT_EQ(boxes.texts[0], QString(caption) + " on 2 computer(s)?");
  }
  EXPECT_EQ(core->dispatcher()->pending(), 0);

  // Re-audit and status checks go out without a question.
  BoxAnswerer none(pressEscape);
  list.selectNone();
  list.setChecked(list.rowOfIp("127.0.0.1"), true);
  clickButton(window->button("Request Re-Audit"));
  clickButton(window->button("Check Client Status"));
  EXPECT_TRUE(none.texts.isEmpty());
  ASSERT_TRUE(waitUntil([&] { return agent.closed == 3 && core->dispatcher()->pending() == 0; }));
  EXPECT_EQ(agent.received[1], QByteArray(tokAudit.data(), static_cast<qsizetype>(tokAudit.size())));
  EXPECT_EQ(agent.received[2], QByteArray());
}

TEST_F(ConsoleTest, GoAsksBeforeReplacingAReport) {
  writeMachine(machine(1, "127.0.0.1", "CORP"));
  const std::string dovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";
  ASSERT_TRUE(std::filesystem::exists(dovrel)) << "Dovrel.so is not built";
  std::filesystem::copy_file(dovrel, dir.path() + "Dovrel.so");
  dir.write("report.html", "an earlier report");
  openWindow();
  clickTab(window->tabStrip(), frmMain::TabReporting);
  auto* types = window->findChild<QTreeWidget*>(QStringLiteral("lstvReportTypes"));
  auto* formats = window->findChild<QTreeWidget*>(QStringLiteral("lstvFormatTypes"));
  auto* path = window->findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
  auto* result = window->findChild<QLabel*>(QStringLiteral("lblReportResult"));
  ASSERT_TRUE(types && formats && path && result);
  clickItem(types, types->model()->index(0, 0));
  clickItem(formats, formats->model()->index(0, 0));
  const QString out = QString::fromStdString(dir.path() + "report.html");
  QTest::keyClicks(path, out);
  QPushButton* go = window->findChild<QPushButton*>(QStringLiteral("cmdGo"));

  for (void (*answer)(QMessageBox*) : {pressEscape, pressReturn}) {
    BoxAnswerer boxes(answer);
    clickButton(go);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], out + " already exists. Replace it?");
    EXPECT_EQ(boxes.defaults[0], QMessageBox::No);
    EXPECT_EQ(dir.read("report.html"), "an earlier report");
    EXPECT_TRUE(result->text().startsWith("Not written")) << result->text().toStdString();
  }
  {
    BoxAnswerer boxes(clickYes);
    clickButton(go);
    ASSERT_EQ(boxes.texts.size(), 1);
  }
  EXPECT_NE(dir.read("report.html").find("Report on 1 computers"), std::string::npos);
  EXPECT_EQ(result->text(), "Report written to " + out);

  // A new file is written without a question.
  path->clear();
  QTest::keyClicks(path, QString::fromStdString(dir.path() + "second.html"));
  BoxAnswerer none(pressEscape);
  clickButton(go);
  EXPECT_TRUE(none.texts.isEmpty());
  EXPECT_TRUE(dir.exists("second.html"));
  EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
}

// On a display the report library opens what it wrote; an opener that
// fails (here a stand-in xdg-open first in PATH) is reported in the window.
TEST_F(ConsoleTest, ReportThatCannotBeOpenedSaysSoInTheWindow) {
  testing::ensureWidgetApplication();
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
    GTEST_SKIP() << "needs a display (runs under Xvfb)";
  }
  writeMachine(machine(1, "127.0.0.1", "CORP"));
  const std::string dovrel = std::string(QUORVANE_BINARY_DIR) + "/bin/Dovrel.so";
  ASSERT_TRUE(std::filesystem::exists(dovrel)) << "Dovrel.so is not built";
  std::filesystem::copy_file(dovrel, dir.path() + "Dovrel.so");
  dir.write("opener/xdg-open", "#!/bin/sh\necho 'no web browser would start' >&2\nexit 4\n");
  std::filesystem::permissions(dir.path() + "opener/xdg-open", std::filesystem::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(dir.path() + "opener:") + path);
  struct RestorePath {
    QByteArray path;
    ~RestorePath() { qputenv("PATH", path); }
  } restore{path};

  openWindow();
  clickTab(window->tabStrip(), frmMain::TabReporting);
  auto* types = window->findChild<QTreeWidget*>(QStringLiteral("lstvReportTypes"));
  auto* formats = window->findChild<QTreeWidget*>(QStringLiteral("lstvFormatTypes"));
  auto* out = window->findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
  ASSERT_TRUE(types && formats && out);
  clickItem(types, types->model()->index(1, 0));  // XML Data Export
  clickItem(formats, formats->model()->index(0, 0));
  const std::string file = dir.path() + "export.xml";
  QTest::keyClicks(out, QString::fromStdString(file));
  clickButton(window->findChild<QPushButton*>(QStringLiteral("cmdGo")));
  EXPECT_TRUE(dir.exists("export.xml"));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].title, "Dovrel");
  EXPECT_NE(sink.messages[0].text.find("The report was written to " + file + ", but it could not be opened"),
            std::string::npos)
      << sink.messages[0].text;
  EXPECT_NE(sink.messages[0].text.find("ended with code 4: no web browser would start"), std::string::npos)
      << sink.messages[0].text;
}

}  // namespace
}  // namespace quorvane
