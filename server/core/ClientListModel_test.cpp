// The client list as a model: finding a row by its address after appends,
// repeats, sorts and inserts; the sort order of a column (letter case
// ignored, equal texts keep their order, later rows inserted in order); and
// status texts for addresses that have no row.
#include "server/core/ClientListModel.h"

#include <gtest/gtest.h>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

ClientRow clientRow(const char* ip, const char* host, int tag = -1) {
  ClientRow r;
  r.ip = QString::fromLatin1(ip);
  r.hostname = QString::fromLatin1(host);
  r.tag = tag;
  return r;
}

// Status texts find their row through an index instead of a scan: it must
// answer like the scan did through appends, sorted inserts and re-sorts.
TEST(ClientRowIndex, AnswersLikeAScan) {
  testing::ensureCoreApplication();
  ClientListModel list;
  const auto scan = [&](const QString& ip) {
    for (int r = 0; r < list.rowCount(); ++r) {
      if (list.row(r).ip == ip) return r;
    }
    return -1;
  };
  const auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    for (const char* ip : {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.9", "10.0.0.1", "nobody"}) {
      EXPECT_EQ(list.rowOfIp(QString::fromLatin1(ip)), scan(QString::fromLatin1(ip))) << ip;
    }
  };
  const auto add = [&](const char* ip, const char* host) { list.addRow(clientRow(ip, host)); };
  add("127.0.0.3", "c");
  add("127.0.0.1", "a");
  check("appended");
  add("127.0.0.3", "z");  // the same address twice: the first row answers
  check("a repeated address");
  list.sortByColumn(ClientListModel::ColHostname);
  check("sorted by host name");
  add("127.0.0.2", "b");  // inserted in sort order, before others
  check("inserted in the middle");
  list.sortByColumn(ClientListModel::ColIp);
  add("127.0.0.9", "y");
  add("10.0.0.1", "x");
  check("sorted by address, then more");
}

struct SortCase {
  const char* name;
  int column;
  std::vector<std::pair<const char*, const char*>> before;  // ip, host name, in the order added
  std::vector<std::pair<const char*, const char*>> after;   // added once sorted
  std::vector<int> tags;                                    // the rows' tags from top to bottom
};

const SortCase kSorts[] = {
    {"HostNamesIgnoreLetterCase",
     ClientListModel::ColHostname,
     {{"127.0.0.1", "beta"}, {"127.0.0.2", "ALPHA"}, {"127.0.0.3", "Gamma"}},
     {},
     {1, 0, 2}},
    {"EqualTextsKeepTheirOrder",
     ClientListModel::ColHostname,
     {{"127.0.0.1", "pc"}, {"127.0.0.2", "PC"}, {"127.0.0.3", "Pc"}},
     {},
     {0, 1, 2}},
    {"AddressesAreTextNotNumbers",
     ClientListModel::ColIp,
     {{"127.0.0.10", "a"}, {"127.0.0.9", "b"}, {"127.0.0.1", "c"}},
     {},
     {2, 0, 1}},
    {"LaterRowsGoToTheirPlace",
     ClientListModel::ColHostname,
     {{"127.0.0.1", "b"}, {"127.0.0.2", "d"}},
     {{"127.0.0.3", "C"}, {"127.0.0.4", "a"}, {"127.0.0.5", "z"}},
     {3, 0, 2, 1, 4}},
    {"LaterEqualTextGoesAfterItsEquals",
     ClientListModel::ColHostname,
     {{"127.0.0.1", "same"}, {"127.0.0.2", "other"}},
     {{"127.0.0.3", "SAME"}},
     {1, 0, 2}},
    {"ColumnOutOfRangeLeavesTheOrder",
     ClientListModel::ColumnCount,
     {{"127.0.0.2", "b"}, {"127.0.0.1", "a"}},
     {{"127.0.0.0", "0"}},
     {0, 1, 2}},
    {"NegativeColumnLeavesTheOrder", -1, {{"127.0.0.2", "b"}, {"127.0.0.1", "a"}}, {}, {0, 1}},
};

class ClientListSortTest : public ::testing::TestWithParam<SortCase> {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }
};

TEST_P(ClientListSortTest, RowsFollowTheSortKey) {
  const SortCase& c = GetParam();
  ClientListModel list;
  int tag = 0;
  for (const auto& [ip, host] : c.before) list.addRow(clientRow(ip, host, tag++));
  list.sortByColumn(c.column);
  for (const auto& [ip, host] : c.after) list.addRow(clientRow(ip, host, tag++));
  std::vector<int> tags;
  for (const ClientRow& r : list.rows()) tags.push_back(r.tag);
  EXPECT_EQ(tags, c.tags);
  // Every address still finds its own row.
  for (int r = 0; r < list.rowCount(); ++r) EXPECT_EQ(list.rowOfIp(list.row(r).ip), r) << r;
}

INSTANTIATE_TEST_SUITE_P(Sorts, ClientListSortTest, ::testing::ValuesIn(kSorts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientListStatusTest, OnlyAListedAddressGetsAStatus) {
  testing::ensureCoreApplication();
  ClientListModel list;
  list.addRow(clientRow("127.0.0.1", "a"));
  list.addRow(clientRow("127.0.0.1", "again"));
  std::vector<std::pair<QString, QString>> written;
  QObject::connect(&list, &ClientListModel::statusWritten,
                   [&](const QString& ip, const QString& status) { written.emplace_back(ip, status); });
  list.setStatus("127.0.0.2", "Data Arrival");
  list.setStatus("", "Data Arrival");
  list.refreshClient("127.0.0.2", "ghost", "never");
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(list.row(0).status, "");
  EXPECT_EQ(list.row(0).hostname, "a");
  list.setStatus("127.0.0.1", "Inbound Connection");
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].first, "127.0.0.1");
  EXPECT_EQ(written[0].second, "Inbound Connection");
  EXPECT_EQ(list.row(0).status, "Inbound Connection");
  EXPECT_EQ(list.row(1).status, "");  // the first row of a repeated address only
}

}  // namespace
}  // namespace quorvane
