// The index questions of the command line: parsing (one named row per form
// and per mistake), the three output formats (CSV quoting, JSON objects,
// aligned text), and whole runs over a DataStore folder.
#include "server/core/IndexMode.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

#include <QDate>
#include <QDateTime>

#include "common/AuditRecordIO.h"
#include "server/core/AuditIndex.h"
#include "server/core/CommandLine.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::sampleRecord;
using testing::TempFolder;

struct ParseRow {
  const char* name;
  std::vector<std::string> args;
  bool ok;
  IndexQueryOptions::Ask ask;
};

const ParseRow kParse[] = {
    {"find", {"--find", "firefox < 120"}, true, IndexQueryOptions::Ask::Find},
    {"find_with_dir_and_json", {"--dir", "/x", "--find", "7-zip", "--format", "json"}, true, IndexQueryOptions::Ask::Find},
    {"history_since", {"--history", "127.0.0.1", "--since", "2023-12-01"}, true, IndexQueryOptions::Ask::History},
    {"stale", {"--stale", "30", "--format", "csv"}, true, IndexQueryOptions::Ask::Stale},
    {"moved_with_settings_file", {"--settings", "/etc/q/serverSettings.txt", "--moved"}, true, IndexQueryOptions::Ask::Moved},
    {"settings_without_file", {"--moved", "--settings"}, false, {}},
    {"moved", {"--moved"}, true, IndexQueryOptions::Ask::Moved},
    {"two_questions", {"--moved", "--stale", "3"}, false, {}},
    {"find_without_query", {"--find"}, false, {}},
    {"find_empty_name", {"--find", "< 120"}, false, {}},
    {"bad_format", {"--moved", "--format", "xml"}, false, {}},
    {"since_without_history", {"--moved", "--since", "2023-01-01"}, false, {}},
    {"since_not_a_date", {"--history", "1.2.3.4", "--since", "2023-13-45"}, false, {}},
    {"stale_not_a_number", {"--stale", "-3"}, false, {}},
    {"unknown_argument", {"--moved", "--headless"}, false, {}},
    {"command_log", {"--command-log"}, true, IndexQueryOptions::Ask::CommandLog},
    {"command_log_since_json", {"--command-log", "--since", "2026-01-31", "--format", "json"}, true,
     IndexQueryOptions::Ask::CommandLog},
    {"command_log_takes_no_value", {"--command-log", "127.0.0.1"}, false, {}},
    {"command_log_and_history", {"--command-log", "--history", "127.0.0.1"}, false, {}},
    {"command_log_since_not_a_date", {"--command-log", "--since", "yesterday"}, false, {}},
    {"command_log_since_without_value", {"--command-log", "--since"}, false, {}},
};

class IndexParseTest : public ::testing::TestWithParam<ParseRow> {};

TEST_P(IndexParseTest, Parses) {
  const ParseRow& row = GetParam();
  EXPECT_TRUE(isIndexCommandLine(row.args) || !row.ok);
  Expected<IndexQueryOptions> o = parseIndexCommandLine(row.args);
  ASSERT_EQ(o.ok(), row.ok) << o.status().description();
  if (!row.ok) {
    EXPECT_EQ(o.status().number(), kExitUsage);
    return;
  }
  EXPECT_EQ(o->ask, row.ask);
}

INSTANTIATE_TEST_SUITE_P(Rows, IndexParseTest, ::testing::ValuesIn(kParse),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IndexFormatTest, CsvQuotesOnlyWhatNeedsIt) {
  const TextTable t{{"a", "b"}, {{"plain", "with, comma"}, {"say \"hi\"", "two\r\nlines"}, {"", "caf\xc3\xa9"}}};
  EXPECT_EQ(formatTable(t, IndexQueryOptions::Format::Csv),
            "a,b\r\nplain,\"with, comma\"\r\n\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n,caf\xc3\xa9\r\n");
}

TEST(IndexFormatTest, JsonIsOneArrayOfObjects) {
  const TextTable t{{"address", "version"}, {{"127.0.0.1", "1.0"}, {"127.0.0.2", "caf\xc3\xa9 \"2\""}}};
  const nlohmann::json j = nlohmann::json::parse(formatTable(t, IndexQueryOptions::Format::Json));
  ASSERT_TRUE(j.is_array());
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[1]["address"], "127.0.0.2");
  EXPECT_EQ(j[1]["version"], "caf\xc3\xa9 \"2\"");
  EXPECT_EQ(formatTable({{"a"}, {}}, IndexQueryOptions::Format::Json), "[]\n");
}

TEST(IndexFormatTest, TextAlignsColumnsByCharacters) {
  const TextTable t{{"a", "b"}, {{"caf\xc3\xa9", "x"}, {"ab", "y"}}};
  EXPECT_EQ(formatTable(t, IndexQueryOptions::Format::Text), "a     b\ncaf\xc3\xa9  x\nab    y\n");
}

class IndexRunTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  void store(const std::string& ip, const AuditRecord& r) {
    dir.write("DataStore/" + ip + ".dat", encodeStoredAudit(r) + "\r\n");
  }

  // Runs the mode; returns (status, what it printed).
  std::pair<int, std::string> run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", dir.path()});
    Expected<IndexQueryOptions> o = parseIndexCommandLine(args);
    EXPECT_TRUE(o.ok()) << o.status().description();
    if (!o) return {-1, ""};
    std::FILE* out = std::tmpfile();
    const int status = runIndexMode(*o, "/nonexistent", out);
    std::string text = testing::readBack(out);
    std::fclose(out);
    return {status, text};
  }

  TempFolder dir;
};

TEST_F(IndexRunTest, FindBuildsTheIndexOnFirstUseAndAnswers) {
  AuditRecord a = sampleRecord(1, "127.0.6.1", "office", 0, 3);
  AuditRecord b = sampleRecord(2, "127.0.6.2", "office", 0, 3);
  a.Software.Applications.items[0] = {"Mozilla Firefox", "", "Mozilla", "", "119.0.1", ""};
  b.Software.Applications.items[0] = {"Mozilla Firefox", "", "Mozilla", "", "120.0", ""};
  store("127.0.6.1", a);
  store("127.0.6.2", b);
  auto [status, text] = run({"--find", "firefox < 120", "--format", "csv"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, "address,host,domain,application,version,publisher\r\n"
                  "127.0.6.1,PC-1,office,Mozilla Firefox,119.0.1,Mozilla\r\n");
  EXPECT_TRUE(dir.exists("QuorvaneIndex.sqlite"));
  auto [status2, json] = run({"--find", "FIREFOX", "--format", "json"});
  EXPECT_EQ(status2, 0);
  EXPECT_EQ(nlohmann::json::parse(json).size(), 2u);
}

TEST_F(IndexRunTest, HistoryOfAnUnknownAddressFails) {
  store("127.0.6.1", sampleRecord(1, "127.0.6.1"));
  EXPECT_EQ(run({"--history", "127.0.6.99"}).first, 1);
  auto [status, text] = run({"--history", "127.0.6.1"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, "received  audit_date  address  change  subject  before  after\n") << "no change yet";
}

TEST_F(IndexRunTest, CommandLogListsNewestFirstFromTheDayGiven) {
  const std::int64_t day1 = QDate(2026, 3, 1).startOfDay().toMSecsSinceEpoch() + 3'600'000;  // 01:00 local
  const std::int64_t day2 = QDate(2026, 3, 2).startOfDay().toMSecsSinceEpoch() + 7'200'000;  // 02:00 local
  {
    AuditIndex index(IndexDatabase{IndexDatabase::Kind::SQLite, dir.path() + "QuorvaneIndex.sqlite", "", 0, "", "", ""});
    ASSERT_TRUE(index.open().ok());
    ASSERT_TRUE(index.logCommand({day1, "127.0.6.1", "Shutdown Windows", "Request Sent"}).ok());
    ASSERT_TRUE(index.logCommand({day2, "127.0.6.2", "Reboot Windows", "Timed out..."}).ok());
  }
  auto [status, text] = run({"--command-log", "--format", "csv"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, "time,target,command,result\r\n"
                  "2026-03-02 02:00:00,127.0.6.2,Reboot Windows,Timed out...\r\n"
                  "2026-03-01 01:00:00,127.0.6.1,Shutdown Windows,Request Sent\r\n");
  auto [status2, recent] = run({"--command-log", "--since", "2026-03-02"});
  EXPECT_EQ(status2, 0);
  EXPECT_EQ(recent, "time                 target     command         result\n"
                    "2026-03-02 02:00:00  127.0.6.2  Reboot Windows  Timed out...\n");
  auto [status3, none] = run({"--command-log", "--since", "2026-03-03", "--format", "json"});
  EXPECT_EQ(status3, 0);
  EXPECT_EQ(none, "[]\n");
}

TEST_F(IndexRunTest, ABrokenIndexSettingFailsWithoutOutput) {
  dir.write("serverSettings.txt", "IndexDatabase:postgresql\r\n");
  auto [status, text] = run({"--moved"});
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace quorvane
