// The index beside a running server: uploads over loopback reach the index
// through the writer thread (the upload's changes land in the change log), a
// database that cannot be opened is reported once while every upload is still
// stored, and the writer catches up when the database is back. Also the
// index settings as the server resolves them.
#include "server/core/IndexService.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <sys/stat.h>

#include <cstdlib>

#include "server/core/ServerCore.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::Uploader;
using testing::waitUntil;

constexpr std::string_view kWhereIndex = "QuorvaneServer.AuditIndex";

class IndexServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  void startServer(int retryMs = 30000) {
    core = std::make_unique<ServerCore>(dir.path(), sink);
    writer = attachIndexWriter(*core, retryMs);
    QObject::connect(core.get(), &ServerCore::uploadStored, [this] { ++uploads; });
    StartupView view;
    ASSERT_TRUE(core->start(view).ok());
    port = core->intake().port();
  }

  void upload(const std::string& from, const AuditRecord& r) {
    const int before = uploads;
    Uploader agent(from, port);
    ASSERT_TRUE(agent.connected());
    ASSERT_TRUE(agent.send(storedForm(r) + std::string(kEndMarker)));
    agent.finish();
    ASSERT_TRUE(waitUntil([&] { return uploads > before; }));
  }

  int reportsOfIndex() const {
    int n = 0;
    for (const auto& m : sink.messages) n += m.text.find(kWhereIndex) != std::string::npos;
    return n;
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::unique_ptr<IndexWriter> writer;
  int port = 0;
  int uploads = 0;
};

TEST_F(IndexServiceTest, UploadsReachTheIndexWithTheirChanges) {
  startServer();
  ASSERT_NE(writer, nullptr);
  ASSERT_TRUE(writer->waitIdle(20000));  // the start-up catch-up is done
  AuditRecord r = sampleRecord(7, "127.0.5.1", "Office", 0, 4);
  upload("127.0.5.1", r);
  const std::string name = r.Software.Applications.items[0].DisplayName;
  r.Software.Applications.items[0].DisplayVersion = "999.1";
  upload("127.0.5.1", r);
  ASSERT_TRUE(writer->waitIdle(20000));
  EXPECT_EQ(writer->counters().failed, 0);

  IndexDatabase where;
  where.sqlitePath = dir.path() + "QuorvaneIndex.sqlite";
  AuditIndex index(where);
  ASSERT_TRUE(index.open().ok());
  Expected<std::vector<ChangeEntry>> history = index.history("127.0.5.1");
  ASSERT_TRUE(history.ok());
  ASSERT_EQ(history->size(), 1u);
  EXPECT_EQ((*history)[0].change.kind, "upgraded");
  EXPECT_EQ((*history)[0].change.subject, name);
  EXPECT_EQ((*history)[0].change.newValue, "999.1");
  EXPECT_EQ(reportsOfIndex(), 0);
}

TEST_F(IndexServiceTest, DatabaseDownIsReportedOnceAndIntakeGoesOn) {
  const std::string missing = dir.path() + "not-yet/";
  dir.write("serverSettings.txt", "IndexFile:" + missing + "index.sqlite\r\n");
  startServer(0);  // try the database again with every audit
  ASSERT_NE(writer, nullptr);
  for (int i = 1; i <= 3; ++i) upload("127.0.5." + std::to_string(i), sampleRecord(i, "127.0.5.1"));
  ASSERT_TRUE(writer->waitIdle(20000));
  ASSERT_TRUE(waitUntil([&] { return reportsOfIndex() == 1; }));
  EXPECT_EQ(dir.list("DataStore").size(), 3u) << "every audit is stored";
  EXPECT_EQ(core->state().clientCount(), 3);
  EXPECT_EQ(writer->counters().indexed, 0);

  ASSERT_EQ(::mkdir(missing.c_str(), 0755), 0);  // the database can be opened again
  upload("127.0.5.4", sampleRecord(4, "127.0.5.4"));
  ASSERT_TRUE(writer->waitIdle(20000));
  EXPECT_EQ(writer->counters().indexed, 1);
  EXPECT_EQ(writer->counters().caughtUp, 4) << "the catch-up indexes what had to be dropped";
  QCoreApplication::processEvents();
  EXPECT_EQ(reportsOfIndex(), 1);
}

TEST_F(IndexServiceTest, IndexOffAttachesNothing) {
  dir.write("serverSettings.txt", "IndexDatabase:off\r\n");
  startServer();
  EXPECT_EQ(writer, nullptr);
  upload("127.0.5.1", sampleRecord(1, "127.0.5.1"));
  EXPECT_FALSE(dir.exists("QuorvaneIndex.sqlite"));
}

struct ResolveRow {
  const char* name;
  IndexSettings settings;
  const char* environment;  // QUORVANE_INDEX_PASSWORD, or null for unset
  bool ok;
  const char* password;
};

TEST(ResolveIndexDatabaseTest, SettingsRows) {
  TempFolder dir;
  dir.write("pw.txt", "s3cret:x\r\nsecond line");
  const std::string pw = dir.path() + "pw.txt";
  const ResolveRow rows[] = {
      {"default_sqlite", {}, nullptr, true, ""},
      {"postgres_password_file", {"postgresql", "", "/run/pg", "5433", "inv", "quorvane", pw}, "other", true, "s3cret:x"},
      {"postgres_password_environment", {"postgresql", "", "db", "", "inv", "q", ""}, "from-env", true, "from-env"},
      {"postgres_no_password", {"postgresql", "", "db", "", "inv", "q", ""}, nullptr, true, ""},
      {"postgres_missing_password_file", {"postgresql", "", "db", "", "inv", "q", pw + ".none"}, nullptr, false, ""},
      {"postgres_without_database", {"postgresql", "", "db", "", "", "q", ""}, nullptr, false, ""},
      {"postgres_bad_port", {"postgresql", "", "db", "70000", "inv", "q", ""}, nullptr, false, ""},
      {"postgres_port_not_a_number", {"postgresql", "", "db", "54x", "inv", "q", ""}, nullptr, false, ""},
      {"unknown_kind", {"mysql", "", "", "", "", "", ""}, nullptr, false, ""},
  };
  for (const ResolveRow& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.environment) {
      ::setenv(kIndexPasswordVariable, row.environment, 1);
    } else {
      ::unsetenv(kIndexPasswordVariable);
    }
    Expected<std::optional<IndexDatabase>> db = resolveIndexDatabase(row.settings, dir.path());
    ASSERT_EQ(db.ok(), row.ok) << db.status().description();
    if (!row.ok) continue;
    ASSERT_TRUE(db->has_value());
    EXPECT_EQ((*db)->password, row.password);
    if (row.settings.database.empty()) {
      EXPECT_EQ((*db)->sqlitePath, dir.path() + "QuorvaneIndex.sqlite");
    }
  }
  ::unsetenv(kIndexPasswordVariable);
  IndexSettings off;
  off.database = "off";
  EXPECT_FALSE(resolveIndexDatabase(off, dir.path())->has_value());
}

}  // namespace
}  // namespace quorvane
