// The index database, the same suite on SQLite and on a real PostgreSQL
// server that the test starts itself: change log per stored audit (one named
// row per kind of change), identity moves, the application search with
// version operators, stale machines, the schema version, and the catch-up
// from DataStore after a server that stored a file but died before indexing it.
#include "server/core/AuditIndex.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>
#include <latch>
#include <thread>

#include "common/AuditRecordIO.h"
#include "server/core/IndexService.h"
#include "server/testsupport/PostgresCluster.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::TempFolder;

constexpr std::int64_t kDay = 86'400'000;
constexpr std::int64_t kT0 = 1'700'000'000'000;  // Nov 2023

// One cluster for the whole run, started on first use, stopped at exit.
testing::PostgresCluster* gCluster = nullptr;
testing::PostgresCluster* cluster() {
  if (!gCluster) {
    gCluster = new testing::PostgresCluster;
    const Status st = gCluster->start();
    if (!st) std::fprintf(stderr, "%s\n", st.description().c_str());
  }
  return gCluster;
}

class ClusterStopper : public ::testing::Environment {
 public:
  void TearDown() override {
    delete gCluster;
    gCluster = nullptr;
  }
};
const auto* const kStopper = ::testing::AddGlobalTestEnvironment(new ClusterStopper);

AuditRecord machine(const std::string& host, const std::string& windowsId) {
  AuditRecord r;
  r.Software.Windows.OperatingSystem = "Microsoft Windows 98";
  r.Software.Windows.Version = "4.10 A Build 2222";
  r.Software.Windows.WindowsID = windowsId;
  r.Software.Applications = Array<ApplicationInfo>({{"Mozilla Firefox", "", "Mozilla", "", "119.0.1", ""},
                                                    {"7-Zip", "", "Igor Pavlov", "", "9.20", ""},
                                                    {"", "", "", "", "", ""}});
  r.Hardware.Processor.CPUVersion = "GenuineIntel";
  r.Hardware.Memory.TotalPhysicalMemory = "130,472 KBytes";
  r.Hardware.Drives = Array<DriveInfo>({{"C:\\", "Fixed drive", "", "", "20,003,794,944 Bytes", "", "", ""}, {}});
  r.Hardware.Network.Hostname = host;
  r.Hardware.Network.DomainName = "workgroup";
  r.AuditDate = "01/12/2023 09:00:00";
  return r;
}

class AuditIndexTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    testing::ensureCoreApplication();
    if (GetParam() != "sqlite" && !cluster()->running()) {
      GTEST_SKIP() << "no PostgreSQL test cluster (see the message above)";
    }
    openNewDatabase();
  }

  // Points `where` and `index` at a new, empty database (`open`: opened,
  // which creates its tables).
  void openNewDatabase(bool open = true) {
    index.reset();
    if (GetParam() == "sqlite") {
      where.sqlitePath = folder.path() + "index" + std::to_string(++databases) + ".sqlite";
    } else {
      Expected<IndexDatabase> db = cluster()->createDatabase();
      ASSERT_TRUE(db.ok()) << db.status().description();
      where = *db;
    }
    index = std::make_unique<AuditIndex>(where);
    if (!open) return;
    const Status st = index->open();
    ASSERT_TRUE(st.ok()) << st.description();
  }

  std::vector<AuditChange> changesOf(const std::string& address) {
    Expected<std::vector<ChangeEntry>> h = index->history(address);
    EXPECT_TRUE(h.ok()) << h.status().description();
    std::vector<AuditChange> out;
    if (h) {
      for (const ChangeEntry& e : *h) out.push_back(e.change);
    }
    return out;
  }

  void index3(const std::string& address, const AuditRecord& r, std::int64_t at) {
    const Status st = index->indexAudit(address, r, at);
    ASSERT_TRUE(st.ok()) << st.description();
  }

  void storeFile(const std::string& address, const AuditRecord& r, std::int64_t mtimeMs) {
    folder.write("DataStore/" + address + ".dat", encodeStoredAudit(r) + "\r\n");
    const std::string path = folder.dataStore() + address + ".dat";
    utimbuf times{static_cast<time_t>(mtimeMs / 1000), static_cast<time_t>(mtimeMs / 1000)};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
  }

  // Runs statements on a connection of its own, beside the index's.
  void poke(const std::vector<const char*>& statements) {
    const QString name = "schema-poke";
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(GetParam() == "sqlite" ? "QSQLITE" : "QPSQL", name);
      db.setDatabaseName(QString::fromStdString(GetParam() == "sqlite" ? where.sqlitePath : where.name));
      db.setHostName(QString::fromStdString(where.host)), db.setUserName(QString::fromStdString(where.user));
      ASSERT_TRUE(db.open());
      for (const char* sql : statements) {
        QSqlQuery query(db);
        EXPECT_TRUE(query.exec(sql)) << sql << ": " << query.lastError().text().toStdString();
      }
      db.close();
    }
    QSqlDatabase::removeDatabase(name);
  }

  TempFolder folder;
  IndexDatabase where;
  int databases = 0;
  std::unique_ptr<AuditIndex> index;
};

struct RecordChange {
  const char* name;
  std::function<void(AuditRecord&)> change;
  std::vector<AuditChange> expected;
};

ApplicationInfo app(const char* name, const char* version) { return {name, "", "", "", version, ""}; }

const RecordChange kRecordChanges[] = {
    {"same_audit_again", [](AuditRecord&) {}, {}},
    {"install", [](AuditRecord& r) { r.Software.Applications.items.insert(r.Software.Applications.items.begin(), app("Adobe Reader", "7.0")); },
     {{"installed", "Adobe Reader", "", "7.0"}}},
    {"remove", [](AuditRecord& r) { r.Software.Applications.items.erase(r.Software.Applications.items.begin() + 1); },
     {{"removed", "7-Zip", "9.20", ""}}},
    {"upgrade", [](AuditRecord& r) { r.Software.Applications.items[0].DisplayVersion = "120.0"; },
     {{"upgraded", "Mozilla Firefox", "119.0.1", "120.0"}}},
    {"downgrade", [](AuditRecord& r) { r.Software.Applications.items[1].DisplayVersion = "4.65"; },
     {{"downgraded", "7-Zip", "9.20", "4.65"}}},
    {"same_version_twice", [](AuditRecord& r) { r.Software.Applications.items.insert(r.Software.Applications.items.begin(), app("7-Zip", "9.20")); },
     {{"installed", "7-Zip", "", "9.20"}}},
    {"renamed", [](AuditRecord& r) { r.Software.Applications.items[1].DisplayName = "7-Zip (x64)"; },
     {{"removed", "7-Zip", "9.20", ""}, {"installed", "7-Zip (x64)", "", "9.20"}}},
    {"memory", [](AuditRecord& r) { r.Hardware.Memory.TotalPhysicalMemory = "261,544 KBytes"; },
     {{"memory", "", "130,472 KBytes", "261,544 KBytes"}}},
    {"drive_added", [](AuditRecord& r) { r.Hardware.Drives.items.insert(r.Hardware.Drives.items.begin(), DriveInfo{"D:\\", "", "", "", "650 Bytes", "", "", ""}); },
     {{"drive added", "D:\\", "", "650 Bytes"}}},
    {"drive_removed", [](AuditRecord& r) { r.Hardware.Drives.items.erase(r.Hardware.Drives.items.begin()); },
     {{"drive removed", "C:\\", "20,003,794,944 Bytes", ""}}},
    {"drive_resized", [](AuditRecord& r) { r.Hardware.Drives.items[0].DriveSize = "40,007,589,888 Bytes"; },
     {{"drive resized", "C:\\", "20,003,794,944 Bytes", "40,007,589,888 Bytes"}}},
    {"version_with_quotes_backslash_control", [](AuditRecord& r) { r.Software.Applications.items[1].DisplayVersion = "9.20 \"beta\" \\ \x01"; },
     {{"upgraded", "7-Zip", "9.20", "9.20 \"beta\" \\ \x01"}}},
    {"accented_name", [](AuditRecord& r) { r.Software.Applications.items[1].DisplayName = "Caf\xe9 7"; },
     {{"removed", "7-Zip", "9.20", ""}, {"installed", "Caf\xc3\xa9 7", "", "9.20"}}},
};


TEST_P(AuditIndexTest, EveryKindOfChangeIsLoggedOnce) {
  for (const RecordChange& row : kRecordChanges) {
    SCOPED_TRACE(row.name);
    const std::string address = std::string("127.0.9.") + std::to_string(&row - kRecordChanges + 1);
    AuditRecord r = machine(std::string("PC-") + row.name, std::string("ID-") + row.name);
    index3(address, r, kT0);
    EXPECT_TRUE(changesOf(address).empty()) << "a first audit has nothing to compare with";
    row.change(r);
    index3(address, r, kT0 + kDay);
    EXPECT_EQ(changesOf(address), row.expected);
    index3(address, r, kT0 + kDay);  // the same file again (catch-up after live indexing)
    EXPECT_EQ(changesOf(address), row.expected);
  }
}

TEST_P(AuditIndexTest, AnOlderAuditArrivingLateIsSkipped) {
  AuditRecord r = machine("PC-1", "ID-1");
  AuditRecord newer = r;
  newer.Software.Applications.items[0].DisplayVersion = "120.0";
  index3("127.0.9.1", newer, kT0 + kDay);
  index3("127.0.9.1", r, kT0);
  EXPECT_TRUE(changesOf("127.0.9.1").empty());
  Expected<std::vector<FoundApplication>> found = index->find({"firefox", VersionOp::Any, ""});
  ASSERT_TRUE(found.ok() && found->size() == 1u);
  EXPECT_EQ((*found)[0].version, "120.0");
  index3("127.0.9.1", r, kT0 + kDay);  // as old as the indexed one: compared
  EXPECT_EQ(changesOf("127.0.9.1"), (std::vector<AuditChange>{{"downgraded", "Mozilla Firefox", "120.0", "119.0.1"}}));
}

TEST_P(AuditIndexTest, HistoryIsNewestFirstWithDatesAndSince) {
  AuditRecord r = machine("PC-1", "ID-1");
  index3("127.0.9.1", r, kT0);
  r.Software.Applications.items[0].DisplayVersion = "120.0";
  r.AuditDate = "02/12/2023 09:00:00";
  index3("127.0.9.1", r, kT0 + kDay);
  r.Hardware.Memory.TotalPhysicalMemory = "1 KBytes";
  r.AuditDate = "03/12/2023 09:00:00";
  index3("127.0.9.1", r, kT0 + 2 * kDay);
  Expected<std::vector<ChangeEntry>> all = index->history("127.0.9.1");
  ASSERT_TRUE(all.ok());
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ((*all)[0].change.kind, "memory");
  EXPECT_EQ((*all)[0].auditDate, "03/12/2023 09:00:00");
  EXPECT_EQ((*all)[0].receivedMs, kT0 + 2 * kDay);
  EXPECT_EQ((*all)[1].change.kind, "upgraded");
  Expected<std::vector<ChangeEntry>> recent = index->history("127.0.9.1", kT0 + 2 * kDay);
  ASSERT_TRUE(recent.ok());
  EXPECT_EQ(recent->size(), 1u);
  EXPECT_TRUE(index->history("127.0.9.200")->empty());
}

TEST_P(AuditIndexTest, IdentityMoveLinksHistoriesAndKeepsTheOldAddress) {
  AuditRecord r = machine("PC-MOVER", "ID-MOVER");
  index3("127.0.9.1", r, kT0);
  r.Software.Applications.items[1].DisplayVersion = "16.02";
  index3("127.0.9.1", r, kT0 + kDay);
  r.Software.Applications.items[0].DisplayVersion = "120.0";
  index3("127.0.9.2", r, kT0 + 2 * kDay);  // same machine, new address

  const std::vector<AuditChange> expected = {{"moved", "127.0.9.1", "127.0.9.1", "127.0.9.2"},
                                             {"upgraded", "Mozilla Firefox", "119.0.1", "120.0"},
                                             {"upgraded", "7-Zip", "9.20", "16.02"}};
  EXPECT_EQ(changesOf("127.0.9.2"), expected);
  EXPECT_EQ(changesOf("127.0.9.1"), expected) << "both addresses share one history";
  Expected<std::vector<MachineEntry>> moved = index->moved();
  ASSERT_TRUE(moved.ok());
  ASSERT_EQ(moved->size(), 2u);
  EXPECT_EQ((*moved)[0].address, "127.0.9.1");
  EXPECT_EQ((*moved)[0].movedTo, "127.0.9.2");
  EXPECT_EQ((*moved)[1].movedTo, "");
  Expected<std::vector<FoundApplication>> found = index->find({"firefox", VersionOp::Any, ""});
  ASSERT_TRUE(found.ok());
  ASSERT_EQ(found->size(), 1u) << "the old address no longer answers for the machine";
  EXPECT_EQ((*found)[0].address, "127.0.9.2");
}

struct NoMoveRow {
  const char* name;
  const char* host;
  const char* windowsId;
};
TEST_P(AuditIndexTest, OnlyTheSameIdAndHostNameIsAMove) {
  const NoMoveRow rows[] = {{"other_host", "PC-OTHER", "ID-SHARED"},
                            {"unknown_id", "PC-SHARED", "Unknown or None"},
                            {"empty_id", "PC-SHARED", ""}};
  int n = 0;
  for (const NoMoveRow& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string a = "127.0.8." + std::to_string(++n), b = "127.0.7." + std::to_string(n);
    const std::string id = row.windowsId == std::string("ID-SHARED") ? "ID-SHARED" : row.windowsId;
    index3(a, machine("PC-SHARED", id), kT0);
    index3(b, machine(row.host, row.windowsId), kT0 + kDay);
    EXPECT_TRUE(changesOf(b).empty());
  }
  EXPECT_TRUE(index->moved()->empty());
}

TEST_P(AuditIndexTest, FindMatchesNamePartsAndVersionOperators) {
  const char* versions[] = {"115.0", "119.0.1", "120.0"};
  for (int i = 0; i < 3; ++i) {
    AuditRecord r = machine("PC-" + std::to_string(i), "ID-" + std::to_string(i));
    r.Software.Applications.items[0].DisplayVersion = versions[i];
    r.Software.Applications.items[1].DisplayName = "100%_Tool";
    index3("127.0.9." + std::to_string(i + 1), r, kT0);
  }
  struct Row {
    const char* query;
    std::vector<std::string> addresses;
  };
  const Row rows[] = {{"FireFox < 120", {"127.0.9.1", "127.0.9.2"}},
                      {"firefox >= 119.0.1", {"127.0.9.2", "127.0.9.3"}},
                      {"mozilla firefox = 120.0", {"127.0.9.3"}},
                      {"fox", {"127.0.9.1", "127.0.9.2", "127.0.9.3"}},
                      {"firefox > 120", {"127.0.9.3"}},
                      {"firefox < 100", {}},
                      {"0%_t", {"127.0.9.1", "127.0.9.2", "127.0.9.3"}},
                      {"0%x", {}},
                      {"_", {"127.0.9.1", "127.0.9.2", "127.0.9.3"}},
                      {"netscape", {}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.query);
    Expected<FindQuery> q = parseFindQuery(row.query);
    ASSERT_TRUE(q.ok());
    Expected<std::vector<FoundApplication>> found = index->find(*q);
    ASSERT_TRUE(found.ok()) << found.status().description();
    std::vector<std::string> addresses;
    for (const auto& f : *found) addresses.push_back(f.address);
    EXPECT_EQ(addresses, row.addresses);
  }
}

// Many machines with one application version fill more than one search
// list chunk; upgrades, a removal and a move taken back from the first and
// the last chunk leave the search answering as a full rebuild of the lists
// does.
TEST_P(AuditIndexTest, SearchListsFollowChangesAcrossChunksAndMatchARebuild) {
  constexpr int kMachines = 700;  // two-byte machine ids: two chunks of one version
  const auto address = [](int i) { return "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1); };
  ASSERT_TRUE(index->beginBatch().ok());
  for (int i = 0; i < kMachines; ++i) {
    ASSERT_TRUE(index->indexAudit(address(i), machine("PC-" + std::to_string(i), "ID-" + std::to_string(i)), kT0).ok());
  }
  ASSERT_TRUE(index->commitBatch().ok());
  const auto change = [&](int i, const std::function<void(AuditRecord&)>& edit, const std::string& at) {
    AuditRecord r = machine("PC-" + std::to_string(i), "ID-" + std::to_string(i));
    edit(r);
    index3(at, r, kT0 + kDay);
  };
  change(0, [](AuditRecord& r) { r.Software.Applications.items[0].DisplayVersion = "120.0"; }, address(0));
  change(kMachines - 1, [](AuditRecord& r) { r.Software.Applications.items[0].DisplayVersion = "120.0"; },
         address(kMachines - 1));
  change(1, [](AuditRecord& r) { r.Software.Applications.items.erase(r.Software.Applications.items.begin()); },
         address(1));
  change(2, [](AuditRecord&) {}, "127.2.0.1");  // moved
  struct Row {
    const char* query;
    std::size_t count;
  };
  const Row rows[] = {{"firefox = 119.0.1", kMachines - 3},
                      {"firefox = 120.0", 2},
                      {"firefox", kMachines - 1},
                      {"7-zip", kMachines}};
  for (const char* when : {"kept_up_one_by_one", "rebuilt_at_once"}) {
    SCOPED_TRACE(when);
    for (const Row& row : rows) {
      Expected<std::vector<FoundApplication>> found = index->find(*parseFindQuery(row.query));
      ASSERT_TRUE(found.ok()) << found.status().description();
      EXPECT_EQ(found->size(), row.count) << row.query;
    }
    Expected<std::vector<FoundApplication>> zip = index->find(*parseFindQuery("7-zip"));
    EXPECT_TRUE(std::any_of(zip->begin(), zip->end(), [](const FoundApplication& f) { return f.address == "127.2.0.1"; }));
    EXPECT_TRUE(std::none_of(zip->begin(), zip->end(), [&](const FoundApplication& f) { return f.address == address(2); }));
    ASSERT_TRUE(index->beginBulk().ok());
    ASSERT_TRUE(index->endBulk().ok());
  }
}

// The search lists are written at the commit: within one transaction an
// upgrade taken back, and a machine indexed and then moved, leave exactly the
// final state.
TEST_P(AuditIndexTest, SearchChangesWithinOneTransactionCancelOut) {
  AuditRecord a = machine("PC-A", "ID-A");
  index3("127.0.9.1", a, kT0);
  ASSERT_TRUE(index->beginBatch().ok());
  a.Software.Applications.items[0].DisplayVersion = "120.0";
  ASSERT_TRUE(index->indexAudit("127.0.9.1", a, kT0 + kDay).ok());
  a.Software.Applications.items[0].DisplayVersion = "119.0.1";
  ASSERT_TRUE(index->indexAudit("127.0.9.1", a, kT0 + 2 * kDay).ok());
  ASSERT_TRUE(index->indexAudit("127.0.9.2", machine("PC-B", "ID-B"), kT0).ok());
  ASSERT_TRUE(index->indexAudit("127.0.9.3", machine("PC-B", "ID-B"), kT0 + kDay).ok());
  ASSERT_TRUE(index->commitBatch().ok());
  struct Row {
    const char* query;
    std::vector<std::string> addresses;
  };
  const Row rows[] = {{"firefox = 120.0", {}}, {"firefox = 119.0.1", {"127.0.9.1", "127.0.9.3"}}};
  for (const Row& row : rows) {
    Expected<std::vector<FoundApplication>> found = index->find(*parseFindQuery(row.query));
    ASSERT_TRUE(found.ok()) << found.status().description();
    std::vector<std::string> addresses;
    for (const auto& f : *found) addresses.push_back(f.address);
    EXPECT_EQ(addresses, row.addresses) << row.query;
  }
  EXPECT_EQ(changesOf("127.0.9.1").size(), 2u) << "the upgrade and the downgrade are both logged";
}

TEST_P(AuditIndexTest, StaleListsMachinesNotHeardFrom) {
  index3("127.0.9.1", machine("OLD", "ID-OLD"), kT0);
  index3("127.0.9.2", machine("NEW", "ID-NEW"), kT0 + 10 * kDay);
  Expected<std::vector<MachineEntry>> stale = index->stale(5, kT0 + 11 * kDay);
  ASSERT_TRUE(stale.ok());
  ASSERT_EQ(stale->size(), 1u);
  EXPECT_EQ((*stale)[0].address, "127.0.9.1");
  EXPECT_EQ((*stale)[0].hostName, "OLD");
  EXPECT_EQ(index->stale(20, kT0 + 11 * kDay)->size(), 0u);
}

TEST_P(AuditIndexTest, ReopenKeepsDataAndANewerSchemaIsRefused) {
  index3("127.0.9.1", machine("PC", "ID"), kT0);
  index.reset();
  {
    AuditIndex again(where);
    ASSERT_TRUE(again.open().ok());
    ASSERT_TRUE(again.machine("127.0.9.1")->has_value());
    EXPECT_EQ((*again.machine("127.0.9.1"))->os, "Microsoft Windows 98 4.10 A Build 2222");
  }
  poke({"UPDATE schema_version SET version = 999"});
  AuditIndex newer(where);
  const Status st = newer.open();
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.description().find("newer than this program"), std::string::npos) << st.description();
}

TEST_P(AuditIndexTest, CommandLogIsNewestFirstAndKeepsItsTexts) {
  const CommandLogEntry sent[] = {
      {kT0, "127.0.9.1", "Shutdown Windows", "Request Sent"},
      {kT0 + kDay, "127.0.9.2", "Reboot Windows", "Timed out..."},
      {kT0 + kDay, "127.0.9.3", "Send Message", "Refused by client"},  // same time: the later row first
      {kT0 + 2 * kDay, "127.0.9.1", "Caf\xc3\xa9 'quoted' \"text\", with comma", "Not signed"},
  };
  for (const CommandLogEntry& e : sent) ASSERT_TRUE(index->logCommand(e).ok());
  struct Row {
    const char* name;
    std::int64_t since;
    std::vector<std::string> targets;  // newest first
  };
  const Row rows[] = {
      {"all", 0, {"127.0.9.1", "127.0.9.3", "127.0.9.2", "127.0.9.1"}},
      {"since_the_second_day", kT0 + kDay, {"127.0.9.1", "127.0.9.3", "127.0.9.2"}},
      {"since_a_moment_after", kT0 + kDay + 1, {"127.0.9.1"}},
      {"since_later_than_all", kT0 + 3 * kDay, {}},
  };
  for (const Row& row : rows) {
    Expected<std::vector<CommandLogEntry>> log = index->commandLog(row.since);
    ASSERT_TRUE(log.ok()) << row.name << ": " << log.status().description();
    std::vector<std::string> targets;
    for (const CommandLogEntry& e : *log) targets.push_back(e.target);
    EXPECT_EQ(targets, row.targets) << row.name;
  }
  const std::vector<CommandLogEntry> all = *index->commandLog();
  EXPECT_EQ(all.front().caption, sent[3].caption);
  EXPECT_EQ(all.front().result, "Not signed");
  EXPECT_EQ(all.front().sentMs, kT0 + 2 * kDay);
  EXPECT_EQ(all.back().caption, "Shutdown Windows");
}

// Older layouts, made from a current index by hand: one application row per
// machine and application (schema 2), and before that no command log
// (schema 1); and a current one whose search lists a stopped bulk build left
// missing. Opening brings each up to date without losing a machine's list:
// the next audit logs exactly what changed, and the search finds the machine.
TEST_P(AuditIndexTest, AnIndexOfAnOlderLayoutIsMigratedWithItsApplicationLists) {
  const std::vector<const char*> kSecondSchema = {
      "DROP TABLE app_machines", "DROP TABLE machine_apps", "DROP TABLE app_versions",
      "CREATE TABLE applications (machine_id BIGINT NOT NULL, seq INTEGER NOT NULL, name_id BIGINT NOT NULL,"
      " version TEXT NOT NULL, PRIMARY KEY (machine_id, seq))",
      "INSERT INTO applications (machine_id, seq, name_id, version) SELECT m.id, 0, n.id, '119.0.1'"
      " FROM machines m JOIN app_names n ON n.name = 'Mozilla Firefox'",
      "INSERT INTO applications (machine_id, seq, name_id, version) SELECT m.id, 1, n.id, '9.20'"
      " FROM machines m JOIN app_names n ON n.name = '7-Zip'",
      "UPDATE schema_version SET version = 2"};
  std::vector<const char*> firstSchema = kSecondSchema;
  firstSchema.insert(firstSchema.end(), {"DROP TABLE command_log", "UPDATE schema_version SET version = 1"});
  struct Row {
    const char* name;
    std::vector<const char*> statements;
  };
  const Row rows[] = {{"search_lists_missing", {"DROP TABLE app_machines"}},
                      {"one_row_per_application", kSecondSchema},
                      {"first_schema_without_command_log", firstSchema}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    openNewDatabase();
    AuditRecord r = machine("PC", "ID");
    index3("127.0.9.1", r, kT0);
    index.reset();
    poke(row.statements);
    AuditIndex older(where);
    const Status opened = older.open();
    ASSERT_TRUE(opened.ok()) << opened.description();
    Expected<std::vector<FoundApplication>> found = older.find(*parseFindQuery("firefox = 119.0.1"));
    ASSERT_TRUE(found.ok()) << found.status().description();
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0].address, "127.0.9.1");
    r.Software.Applications.items[1].DisplayVersion = "16.02";
    const Status indexed = older.indexAudit("127.0.9.1", r, kT0 + kDay);
    ASSERT_TRUE(indexed.ok()) << indexed.description();
    EXPECT_EQ(older.history("127.0.9.1")->size(), 1u) << "only the upgrade, not every application again";
    EXPECT_EQ((*older.history("127.0.9.1"))[0].change, (AuditChange{"upgraded", "7-Zip", "9.20", "16.02"}));
    EXPECT_EQ(older.find(*parseFindQuery("7-zip = 16.02"))->size(), 1u);
    EXPECT_TRUE(older.find(*parseFindQuery("7-zip = 9.20"))->empty());
    ASSERT_TRUE(older.logCommand({kT0, "127.0.9.1", "Reboot Windows", "Request Sent"}).ok());
    AuditIndex again(where);
    ASSERT_TRUE(again.open().ok()) << "migrated once, opened again as it is";
    EXPECT_EQ(again.commandLog()->size(), 1u);
    EXPECT_EQ(again.find(*parseFindQuery("firefox"))->size(), 1u);
  }
}

TEST_P(AuditIndexTest, CatchUpIndexesWhatTheServerStoredButNeverIndexed) {
  AuditRecord a = machine("PC-A", "ID-A"), b = machine("PC-B", "ID-B");
  storeFile("127.0.9.1", a, kT0);
  storeFile("127.0.9.2", b, kT0);
  folder.write("DataStore/127.0.9.3.dat", "not an audit");
  Expected<CatchUpResult> first = catchUpIndex(*index, folder.path());
  ASSERT_TRUE(first.ok()) << first.status().description();
  EXPECT_EQ(first->files, 3);
  EXPECT_EQ(first->indexed, 2);
  EXPECT_EQ(first->unreadable, 1);
  EXPECT_EQ(catchUpIndex(*index, folder.path())->indexed, 0) << "nothing newer than the index";

  // The server stored A's new audit and was killed before the index write.
  a.Software.Applications.items[0].DisplayVersion = "120.0";
  a.Software.Applications.items.erase(a.Software.Applications.items.begin() + 1);
  storeFile("127.0.9.1", a, kT0 + kDay);
  Expected<CatchUpResult> second = catchUpIndex(*index, folder.path());
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->indexed, 1);
  const std::vector<AuditChange> expected = {{"removed", "7-Zip", "9.20", ""},
                                             {"upgraded", "Mozilla Firefox", "119.0.1", "120.0"}};
  EXPECT_EQ(changesOf("127.0.9.1"), expected);
  EXPECT_EQ((*index->machine("127.0.9.1"))->lastSeenMs, kT0 + kDay);
}

TEST_P(AuditIndexTest, CatchUpTakesFilesOldestFirstSoAMoveIsSeen) {
  AuditRecord r = machine("PC-M", "ID-M");
  storeFile("127.0.9.9", r, kT0 + kDay);  // the new address sorts first by name
  storeFile("127.0.9.10", r, kT0);
  ASSERT_TRUE(catchUpIndex(*index, folder.path()).ok());
  Expected<std::optional<MachineEntry>> old = index->machine("127.0.9.10");
  ASSERT_TRUE(old.ok() && old->has_value());
  EXPECT_EQ((*old)->movedTo, "127.0.9.9");
}

// Two writers of one new index at once (a console and the server's service,
// or a question on the command line): both create it, migrate it once and
// write their batches in turn; none fails on the other's lock.
TEST_P(AuditIndexTest, TwoWritersOfANewIndexTakeTurns) {
  openNewDatabase(false);
  index.reset();
  constexpr int kBatches = 10, kPerBatch = 3;
  std::latch ready(2);
  std::string failure[2];
  auto write = [&](int writer) {
    AuditIndex own(where);
    ready.arrive_and_wait();
    Status st = own.open();
    for (int b = 0; st && b < kBatches; ++b) {
      st = own.beginBatch();
      for (int n = 0; st && n < kPerBatch; ++n) {
        const std::string address = "127.0." + std::to_string(writer + 1) + "." + std::to_string(b * kPerBatch + n + 1);
        st = own.indexAudit(address, machine("PC-" + address, "ID-" + address), kT0);
      }
      if (st) {
        st = own.commitBatch();
      } else {
        own.rollbackBatch();
      }
    }
    if (!st) failure[writer] = st.description();
  };
  std::thread first(write, 0), second(write, 1);
  first.join();
  second.join();
  EXPECT_EQ(failure[0], "");
  EXPECT_EQ(failure[1], "");
  AuditIndex check(where);
  ASSERT_TRUE(check.open().ok());
  Expected<std::vector<FoundApplication>> found = check.find(*parseFindQuery("firefox"));
  ASSERT_TRUE(found.ok()) << found.status().description();
  EXPECT_EQ(found->size(), static_cast<std::size_t>(2 * kBatches * kPerBatch));
}

TEST_P(AuditIndexTest, CatchUpIsLeftToTheProcessAlreadyDoingIt) {
  storeFile("127.0.9.1", machine("PC-A", "ID-A"), kT0);
  QLockFile other(QString::fromStdString(folder.path() + kIndexCatchUpLockName));
  ASSERT_TRUE(other.tryLock(0));
  Expected<CatchUpResult> meanwhile = catchUpIndex(*index, folder.path());
  ASSERT_TRUE(meanwhile.ok()) << meanwhile.status().description();
  EXPECT_TRUE(meanwhile->elsewhere);
  EXPECT_EQ(meanwhile->indexed, 0);
  other.unlock();
  Expected<CatchUpResult> after = catchUpIndex(*index, folder.path());
  ASSERT_TRUE(after.ok());
  EXPECT_FALSE(after->elsewhere);
  EXPECT_EQ(after->indexed, 1);
  EXPECT_FALSE(folder.exists(kIndexCatchUpLockName)) << "the lock goes with the catch-up";
}

INSTANTIATE_TEST_SUITE_P(Databases, AuditIndexTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(FindQueryTest, ParsesNamesAndOperators) {
  struct Row {
    const char* text;
    bool ok;
    const char* name;
    VersionOp op;
    const char* version;
  };
  const Row rows[] = {{"firefox < 120", true, "firefox", VersionOp::Less, "120"},
                      {"  Adobe Reader  ", true, "Adobe Reader", VersionOp::Any, ""},
                      {"7-Zip>=9.20", true, "7-Zip", VersionOp::GreaterEqual, "9.20"},
                      {"x <= 1", true, "x", VersionOp::LessEqual, "1"},
                      {"x = 1", true, "x", VersionOp::Equal, "1"},
                      {"x > 1", true, "x", VersionOp::Greater, "1"},
                      {"< 120", false, "", VersionOp::Any, ""},
                      {"firefox <", false, "", VersionOp::Any, ""},
                      {"firefox << 1", false, "", VersionOp::Any, ""},
                      {"", false, "", VersionOp::Any, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Expected<FindQuery> q = parseFindQuery(row.text);
    ASSERT_EQ(q.ok(), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(q->name, row.name);
    EXPECT_EQ(q->op, row.op);
    EXPECT_EQ(q->version, row.version);
  }
}

}  // namespace
}  // namespace quorvane
