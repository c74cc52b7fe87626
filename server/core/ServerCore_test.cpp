// The server without its window: start-up over DataStore folders (none, one,
// several, corrupt files, settings errors, port in use) and what becomes of
// uploads that arrive over real loopback connections (stored and listed, a
// second upload, a corrupt upload, a changed address, uploads while loading,
// the first upload into an empty DataStore). The intake's own buffers and
// bounds are tested with IntakeServer.
#include "server/core/ServerCore.h"

#include <gtest/gtest.h>

#include <QTcpServer>

#include "common/AuditRecordIO.h"
#include "common/ErrorReport.h"
#include "server/core/ServerTexts.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/ServerCoreFixture.h"

namespace quorvane {
namespace {

using testing::IntakeTest;
using testing::sampleRecord;
using testing::ServerCoreTest;
using testing::storedForm;
using testing::TempFolder;
using testing::Uploader;
using testing::waitUntil;

using namespace std::string_literals;

const std::string kMarker(kEndMarker);

// ---------------------------------------------------------------- start-up

TEST_F(ServerCoreTest, EmptyDataStoreShowsPlaceholder) {
  dir.write("DataStore/OLD.DAT", "whatever");
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());
  EXPECT_TRUE(core->fileListReady());
  EXPECT_TRUE(core->state().noDataFiles());
  EXPECT_EQ(core->state().dataFileList(), std::vector<std::string>{""});
  EXPECT_EQ(core->state().clientList().rowCount(), 0);
  ClientTreeModel& tree = core->state().clientTree();
  ASSERT_EQ(tree.rowCount(), 1);
  const QModelIndex root = tree.index(0, 0);
  EXPECT_EQ(tree.data(root).toString(), "(no data files)");
  EXPECT_EQ(tree.data(root, ClientTreeModel::kKeyRole).toString(), "root");
  EXPECT_FALSE(tree.tagOf(root).isValid());
  EXPECT_EQ(core->activity(), "Idle");
  EXPECT_EQ(view.categoryFills, 1);
  EXPECT_TRUE(dir.exists("serverSettings.txt"));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ServerCoreTest, OneFileLoadsWithoutMovingTheBar) {
  AuditRecord r = sampleRecord(1, "127.0.0.5", "WORKGROUP");
  r.AuditDate = "08/12/2026 10:11:12";
  writeDataFile("127.0.0.5", r);
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());

  ASSERT_EQ(core->state().clientCount(), 1);
  EXPECT_EQ(core->state().clientTable()[0].Hardware.Network.DomainName, "workgroup");
  EXPECT_EQ(core->state().dataFileList(), std::vector<std::string>{dir.dataStore() + "127.0.0.5.dat"});
  const ClientRow& row = core->state().clientList().row(0);
  EXPECT_EQ(row.ip, "127.0.0.5");
  EXPECT_EQ(row.hostname, QString::fromStdString(r.Hardware.Network.Hostname));
  EXPECT_EQ(row.auditDate, "08/12/2026 10:11:12");
  EXPECT_EQ(row.ping, "");
  EXPECT_EQ(row.status, "");
  EXPECT_EQ(row.tag, 0);
  ASSERT_EQ(core->state().clientAddressTable().size(), 1u);
  EXPECT_EQ(core->state().clientAddressTable()[0].ip, "127.0.0.5");
  EXPECT_EQ(core->state().knownAddresses(), std::set<std::string>{"127.0.0.5"});

  ClientTreeModel& tree = core->state().clientTree();
  ASSERT_EQ(tree.rowCount(), 1);
  const QModelIndex domain = tree.index(0, 0);
  EXPECT_EQ(tree.data(domain).toString(), "workgroup");
  EXPECT_EQ(tree.tagOf(domain).toInt(), -1);
  ASSERT_EQ(tree.rowCount(domain), 1);
  EXPECT_EQ(tree.data(tree.index(0, 0, domain)).toString(), "127.0.0.5");
  EXPECT_EQ(tree.tagOf(tree.index(0, 0, domain)).toInt(), 0);

  EXPECT_EQ(view.files, std::vector<std::string>{"127.0.0.5.dat"});
  EXPECT_TRUE(view.progress.empty());
}

TEST_F(ServerCoreTest, SeveralFilesGroupByExactDomain) {
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1", "CORP"));
  writeDataFile("127.0.0.2", sampleRecord(2, "127.0.0.2", "corp2"));
  writeDataFile("127.0.0.3", sampleRecord(3, "127.0.0.3", "corp"));
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());
  EXPECT_EQ(core->state().clientCount(), 3);
  ClientTreeModel& tree = core->state().clientTree();
  ASSERT_EQ(tree.rowCount(), 2);
  EXPECT_EQ(tree.data(tree.index(0, 0)).toString(), "corp");
  EXPECT_EQ(tree.rowCount(tree.index(0, 0)), 2);
  EXPECT_EQ(tree.data(tree.index(1, 0)).toString(), "corp2");
  // Domain table: two names and the spare.
  ASSERT_EQ(core->state().domainTable().size(), 3u);
  EXPECT_EQ(core->state().domainTable()[0].name, "corp");
  EXPECT_EQ(core->state().domainTable()[1].name, "corp2");
  EXPECT_EQ(core->state().domainTable()[2].name, "");
  EXPECT_EQ(core->state().domainTable()[2].node, nullptr);
  EXPECT_EQ(view.progress, (std::vector<double>{0.0, 0.5, 1.0}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(core->state().dataFileList()[static_cast<std::size_t>(i)],
              dir.dataStore() + core->state().clientAddressTable()[static_cast<std::size_t>(i)].ip + ".dat");
  }
}

TEST_F(ServerCoreTest, CorruptFilesAreReportedAndLeftOut) {
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1"));
  dir.write("DataStore/127.0.0.2.dat", "12345\0garbage that is no zlib stream"s);
  dir.write("DataStore/127.0.0.3.dat", "");
  const std::string whole = storedForm(sampleRecord(4, "127.0.0.4"));
  dir.write("DataStore/127.0.0.4.dat", whole.substr(0, whole.size() / 2));  // cut short
  writeDataFile("127.0.0.5", sampleRecord(5, "127.0.0.5"));
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());

  EXPECT_EQ(rowIps(*core), (std::vector<QString>{"127.0.0.1", "127.0.0.5"}));
  EXPECT_EQ(core->state().dataFileList(),
            (std::vector<std::string>{dir.dataStore() + "127.0.0.1.dat", dir.dataStore() + "127.0.0.5.dat"}));
  const auto reports = reportsAt(kWhereFormLoad);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_NE(reports[0].find("127.0.0.2.dat"), std::string::npos) << reports[0];
  EXPECT_NE(reports[2].find("127.0.0.4.dat"), std::string::npos) << reports[2];
  EXPECT_EQ(sink.messages[0].style, kStyleCritical);
  EXPECT_EQ(sink.messages[0].title, "QuorvaneServer");
}

TEST_F(ServerCoreTest, AllFilesCorruptShowsPlaceholder) {
  dir.write("DataStore/127.0.0.2.dat", "not an audit");
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());
  EXPECT_EQ(core->state().clientCount(), 0);
  EXPECT_EQ(core->state().dataFileList(), std::vector<std::string>{""});
  EXPECT_TRUE(core->state().clientTree().hasPlaceholder());
  EXPECT_EQ(reportsAt(kWhereFormLoad).size(), 1u);
}

TEST_F(ServerCoreTest, ClientIsKnownByItsFileName) {
  writeDataFile("127.0.0.7", sampleRecord(7, "10.9.9.9"));
  auto core = makeCore();
  ASSERT_TRUE(core->start(view).ok());
  EXPECT_EQ(rowIps(*core), std::vector<QString>{"127.0.0.7"});
  EXPECT_TRUE(core->state().findClient("127.0.0.7").has_value());
  EXPECT_FALSE(core->state().findClient("10.9.9.9").has_value());
  // The record itself is kept as it came.
  EXPECT_EQ(core->state().clientTable()[0].Hardware.Network.IP, "10.9.9.9");
}

struct SettingsErrorCase {
  const char* name;
  const char* text;
  long number;
};

class SettingsErrorTest : public ServerCoreTest, public ::testing::WithParamInterface<SettingsErrorCase> {};

TEST_P(SettingsErrorTest, EndsStartUpAndIsReported) {
  dir.write("serverSettings.txt", GetParam().text);
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1"));
  auto core = makeCore();
  Status st = core->start(view);
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(st.number(), GetParam().number);
  const auto reports = reportsAt(kWhereFormLoad);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Error Number : " + std::to_string(GetParam().number) + "\r\n"), std::string::npos);
  EXPECT_NE(reports[0].find("On line : "), std::string::npos);
  // The steps before the settings ran; listening and loading did not.
  EXPECT_EQ(core->activity(), "Idle");
  EXPECT_EQ(view.categoryFills, 1);
  EXPECT_FALSE(core->intake().isListening());
  EXPECT_EQ(core->state().clientCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsErrorTest,
                         ::testing::Values(SettingsErrorCase{"NotANumber", "ListenPortNumber:abc\r\n", 13},
                                           SettingsErrorCase{"NoColon", "ConnectPortNumber\r\n", 9},
                                           SettingsErrorCase{"Overflow", "ListenPortNumber:4294967296\r\n", 6},
                                           SettingsErrorCase{"PortOutOfRange", "ListenPortNumber:70000\r\n",
                                                             kErrListenFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerCoreTest, PortInUseEndsStartUp) {
  QTcpServer occupant;
  ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(occupant.serverPort()) + "\r\n");
  auto core = makeCore();
  Status st = core->start(view);
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(st.number(), kErrAddressInUse);
  EXPECT_EQ(reportsAt(kWhereFormLoad).size(), 1u);
}

// A console asked to go on without intake: every port failure is reported
// with what to change, the activity names the port, and DataStore loads.
struct NoIntakeCase {
  const char* name;
  bool occupied;  // else the settings name a port outside 0..65535
  const char* activity;
  const char* said;
};

class NoIntakeTest : public ServerCoreTest, public ::testing::WithParamInterface<NoIntakeCase> {};

TEST_P(NoIntakeTest, StartUpGoesOnWithoutIntake) {
  const NoIntakeCase& c = GetParam();
  QTcpServer occupant;
  int port = 70000;
  if (c.occupied) {
    ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
    port = occupant.serverPort();
  }
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(port) + "\r\n");
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1", "CORP"));
  writeDataFile("127.0.0.2", sampleRecord(2, "127.0.0.2", "LAB"));
  auto core = makeCore();
  StartupOptions options;
  options.browseWithoutIntake = true;
  ASSERT_TRUE(core->start(view, options).ok());
  EXPECT_TRUE(core->intakeOff());
  EXPECT_FALSE(core->intake().isListening());
  EXPECT_EQ(core->state().clientCount(), 2);
  const std::string portText = std::to_string(port);
  EXPECT_EQ(core->activity().toStdString(), "Intake off: port " + portText + c.activity);
  const std::vector<std::string> reports = reportsAt(kWhereFormLoad);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(c.said + portText), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("set ListenPortNumber in serverSettings.txt to a free port"), std::string::npos)
      << reports[0];
}

INSTANTIATE_TEST_SUITE_P(
    Ports, NoIntakeTest,
    ::testing::Values(NoIntakeCase{"InUse", true, " in use", "Port "},
                      NoIntakeCase{"OutOfRange", false, " not available", "Cannot listen on port "}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- intake

TEST_F(IntakeTest, UploadInPiecesIsStoredAndListed) {
  startServer();
  AuditRecord r = sampleRecord(3, "127.0.0.1", "Office");
  const std::string upload = storedForm(r);
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.connected());
  ASSERT_TRUE(waitUntil([&] { return core->intake().openConnections() == 1; }));
  EXPECT_EQ(core->activity(), "1 Connections");
  const std::size_t third = upload.size() / 3;
  ASSERT_TRUE(agent.send(upload.substr(0, third)));
  ASSERT_TRUE(waitUntil([&] { return core->intake().totalBuffered() == third; }));
  ASSERT_TRUE(agent.send(upload.substr(third)));
  ASSERT_TRUE(agent.send(kMarker));
  ASSERT_TRUE(waitForClients(1));
  agent.finish();
  ASSERT_TRUE(waitIdle());

  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), upload + "\r\n");
  EXPECT_EQ(dir.list("DataStore"), std::vector<std::string>{"127.0.0.1.dat"});
  EXPECT_EQ(rowIps(*core), std::vector<QString>{"127.0.0.1"});
  EXPECT_EQ(core->state().clientTable()[0].Hardware.Network.DomainName, "office");
  EXPECT_EQ(core->state().dataFileList(), std::vector<std::string>{dir.dataStore() + "127.0.0.1.dat"});
  EXPECT_FALSE(core->state().clientTree().hasPlaceholder());
  EXPECT_EQ(core->state().clientTree().data(core->state().clientTree().index(0, 0)).toString(), "office");
  EXPECT_EQ(core->activity(), "Idle");
  EXPECT_EQ(activities.front(), "1 Connections");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntakeTest, SecondUploadReplacesTheFirst) {
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1"));
  startServer();
  ASSERT_EQ(core->state().clientCount(), 1);
  AuditRecord newer = sampleRecord(2, "127.0.0.1");
  newer.AuditDate = "09/12/2026 08:00:00";
  const std::string upload = storedForm(newer);
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.send(upload + kMarker));
  ASSERT_TRUE(waitUntil([&] { return core->state().clientTable()[0].AuditDate == newer.AuditDate; }));
  agent.finish();
  ASSERT_TRUE(waitIdle());
  EXPECT_EQ(core->state().clientCount(), 1);
  EXPECT_EQ(core->state().clientList().rowCount(), 1);
  EXPECT_EQ(core->state().clientList().row(0).auditDate, "09/12/2026 08:00:00");
  EXPECT_EQ(core->state().dataFileList().size(), 1u);
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), upload + "\r\n");
  EXPECT_EQ(statuses.front(), "127.0.0.1: Inbound Connection");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "127.0.0.1: Data Arrival"), statuses.end());
}

TEST_F(IntakeTest, CorruptUploadIsKeptAsideAndChangesNothing) {
  const AuditRecord original = sampleRecord(1, "127.0.0.1");
  writeDataFile("127.0.0.1", original);
  const std::string before = dir.read("DataStore/127.0.0.1.dat");
  startServer();
  const std::string bad = "999\0this is not a zlib stream at all"s;
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.send(bad + kMarker));
  ASSERT_TRUE(waitUntil([&] { return !reportsAt(kWhereDataArrival).empty(); }));
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), before);
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat.rejected"), bad);
  EXPECT_EQ(dir.list("DataStore"), (std::vector<std::string>{"127.0.0.1.dat", "127.0.0.1.dat.rejected"}));
  EXPECT_EQ(core->state().clientCount(), 1);
  EXPECT_EQ(core->state().clientTable()[0].AuditDate, original.AuditDate);
  EXPECT_NE(reportsAt(kWhereDataArrival)[0].find("127.0.0.1.dat.rejected"), std::string::npos);
  // A later good upload on the same connection still goes through.
  AuditRecord newer = sampleRecord(2, "127.0.0.1");
  newer.AuditDate = "later";
  ASSERT_TRUE(agent.send(storedForm(newer) + kMarker));
  ASSERT_TRUE(waitUntil([&] { return core->state().clientTable()[0].AuditDate == "later"; }));
}

TEST_F(IntakeTest, NewAddressGetsNewRowAndOldOneStays) {
  writeDataFile("127.0.0.4", sampleRecord(4, "127.0.0.4", "lab"));
  startServer();
  Uploader agent("127.0.0.5", port);
  ASSERT_TRUE(agent.send(storedForm(sampleRecord(4, "127.0.0.5", "lab")) + kMarker));
  ASSERT_TRUE(waitForClients(2));
  EXPECT_EQ(rowIps(*core), (std::vector<QString>{"127.0.0.4", "127.0.0.5"}));
  EXPECT_EQ(dir.list("DataStore"), (std::vector<std::string>{"127.0.0.4.dat", "127.0.0.5.dat"}));
  ClientTreeModel& tree = core->state().clientTree();
  ASSERT_EQ(tree.rowCount(), 1);
  EXPECT_EQ(tree.rowCount(tree.index(0, 0)), 2);
  EXPECT_EQ(core->state().dataFileList().back(), dir.dataStore() + "127.0.0.5.dat");
}

TEST_F(IntakeTest, UploadWhileLoadingNeverDuplicatesAClient) {
  writeDataFile("127.0.0.1", sampleRecord(1, "127.0.0.1"));
  writeDataFile("127.0.0.2", sampleRecord(2, "127.0.0.2"));
  writeDataFile("127.0.0.3", sampleRecord(3, "127.0.0.3"));
  AuditRecord fresh = sampleRecord(3, "127.0.0.3");
  fresh.AuditDate = "fresh";
  AuditRecord refreshed = sampleRecord(1, "127.0.0.1");
  refreshed.AuditDate = "refreshed";
  view.onFile = [&](const std::string& name) {
    if (name == "127.0.0.2.dat") {
      core->storeUpload("127.0.0.3", storedForm(fresh));      // not loaded yet
      core->storeUpload("127.0.0.1", storedForm(refreshed));  // loaded already
    }
  };
  core = makeCore();
  ASSERT_TRUE(core->start(view).ok());
  EXPECT_EQ(rowIps(*core), (std::vector<QString>{"127.0.0.1", "127.0.0.3", "127.0.0.2"}));
  EXPECT_EQ(core->state().clientCount(), 3);
  EXPECT_EQ(core->state().dataFileList().size(), 3u);
  EXPECT_EQ(core->state().clientTable()[*core->state().findClient("127.0.0.3")].AuditDate, "fresh");
  EXPECT_EQ(core->state().clientTable()[*core->state().findClient("127.0.0.1")].AuditDate, "refreshed");
  std::set<std::string> files(core->state().dataFileList().begin(), core->state().dataFileList().end());
  EXPECT_EQ(files.size(), 3u);
}

TEST_F(IntakeTest, FirstUploadIntoEmptyDataStoreReplacesPlaceholder) {
  startServer();
  ASSERT_TRUE(core->state().clientTree().hasPlaceholder());
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.send(storedForm(sampleRecord(1, "127.0.0.1")) + kMarker));
  ASSERT_TRUE(waitForClients(1));
  EXPECT_FALSE(core->state().clientTree().hasPlaceholder());
  EXPECT_EQ(core->state().dataFileList(), std::vector<std::string>{dir.dataStore() + "127.0.0.1.dat"});
  EXPECT_EQ(core->state().clientTree().rowCount(), 1);
}

TEST(AtomicWriteTest, ReplacesWholeOrNotAtAll) {
  TempFolder dir;
  dir.write("DataStore/a.dat", "old");
  ASSERT_TRUE(writeFileAtomically(dir.dataStore() + "a.dat", "new contents").ok());
  EXPECT_EQ(dir.read("DataStore/a.dat"), "new contents");
  EXPECT_EQ(dir.list("DataStore"), std::vector<std::string>{"a.dat"});  // no temporary left
  Status st = writeFileAtomically(dir.path() + "missing-folder/a.dat", "x");
  EXPECT_FALSE(st.ok());
  EXPECT_EQ(st.number(), kErrPathAccess);
}

}  // namespace
}  // namespace quorvane
