// The client tree as an item model: every node found again through its
// parent and row, the roles, indexes asked for out of range or of another
// model, the placeholder of an empty DataStore (added once, removed, not
// mistaken for a domain with the same key), and finding client nodes by the
// index of their record.
#include "server/core/ClientTreeModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using Node = ClientTreeModel::Node;

// corp: 127.0.0.1 (record 0), 127.0.0.3 (record 2); empty: none; lab: 127.0.0.2 (record 1).
class ClientTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureCoreApplication();
    corp = tree.addNode(nullptr, "corp", "corp", -1);
    empty = tree.addNode(nullptr, "empty", "empty", -1);
    lab = tree.addNode(nullptr, "lab", "lab", -1);
    clients.push_back(tree.addNode(corp, "127.0.0.1", "127.0.0.1", 0));
    clients.push_back(tree.addNode(lab, "127.0.0.2", "127.0.0.2", 1));
    clients.push_back(tree.addNode(corp, "127.0.0.3", "127.0.0.3", 2));
  }

  ClientTreeModel tree;
  Node* corp = nullptr;
  Node* empty = nullptr;
  Node* lab = nullptr;
  std::vector<Node*> clients;
};

TEST_F(ClientTreeTest, EveryNodeIsFoundThroughItsParentAndRow) {
  ASSERT_EQ(tree.rowCount(), 3);
  for (int d = 0; d < tree.rowCount(); ++d) {
    const QModelIndex domain = tree.index(d, 0);
    ASSERT_TRUE(domain.isValid()) << d;
    EXPECT_FALSE(tree.parent(domain).isValid()) << d;
    EXPECT_EQ(tree.indexOf(tree.nodeAt(domain)), domain) << d;
    for (int c = 0; c < tree.rowCount(domain); ++c) {
      const QModelIndex client = tree.index(c, 0, domain);
      ASSERT_TRUE(client.isValid()) << d << "/" << c;
      EXPECT_EQ(tree.parent(client), domain) << d << "/" << c;
      EXPECT_EQ(tree.indexOf(tree.nodeAt(client)), client) << d << "/" << c;
      EXPECT_EQ(tree.rowCount(client), 0);
    }
  }
  EXPECT_EQ(tree.rowCount(tree.indexOf(corp)), 2);
  EXPECT_EQ(tree.rowCount(tree.indexOf(empty)), 0);
  const QModelIndex third = tree.indexOf(clients[2]);
  EXPECT_EQ(third.row(), 1);
  EXPECT_EQ(tree.data(third).toString(), "127.0.0.3");
  EXPECT_EQ(tree.data(third, Qt::UserRole).toInt(), 2);
  EXPECT_EQ(tree.data(third, ClientTreeModel::kKeyRole).toString(), "127.0.0.3");
  EXPECT_FALSE(tree.data(third, Qt::ToolTipRole).isValid());
  EXPECT_EQ(tree.tagOf(tree.indexOf(lab)).toInt(), -1);
}

struct OutOfRangeCase {
  const char* name;
  std::function<QModelIndex(const ClientTreeModel&, const QModelIndex& corp)> ask;
};

class ClientTreeOutOfRangeTest : public ClientTreeTest, public ::testing::WithParamInterface<OutOfRangeCase> {};

TEST_P(ClientTreeOutOfRangeTest, GivesAnInvalidIndex) {
  const QModelIndex i = GetParam().ask(tree, tree.indexOf(corp));
  EXPECT_FALSE(i.isValid());
  EXPECT_FALSE(tree.data(i).isValid());
  EXPECT_FALSE(tree.tagOf(i).isValid());
  EXPECT_EQ(tree.nodeAt(i), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, ClientTreeOutOfRangeTest,
    ::testing::Values(
        OutOfRangeCase{"NegativeRow", [](const ClientTreeModel& t, const QModelIndex&) { return t.index(-1, 0); }},
        OutOfRangeCase{"RowPastTheDomains", [](const ClientTreeModel& t, const QModelIndex&) { return t.index(3, 0); }},
        OutOfRangeCase{"SecondColumn", [](const ClientTreeModel& t, const QModelIndex&) { return t.index(0, 1); }},
        OutOfRangeCase{"RowPastTheClients",
                       [](const ClientTreeModel& t, const QModelIndex& corp) { return t.index(2, 0, corp); }},
        OutOfRangeCase{"UnderAClient",
                       [](const ClientTreeModel& t, const QModelIndex& corp) {
                         return t.index(0, 0, t.index(0, 0, corp));
                       }},
        OutOfRangeCase{"ParentOfADomain",
                       [](const ClientTreeModel& t, const QModelIndex& corp) { return t.parent(corp); }},
        OutOfRangeCase{"UnknownRecord", [](const ClientTreeModel& t, const QModelIndex&) { return t.clientIndex(7); }},
        OutOfRangeCase{"DomainTagIsNoRecord",
                       [](const ClientTreeModel& t, const QModelIndex&) { return t.clientIndex(-1); }},
        OutOfRangeCase{"IndexOfNoNode",
                       [](const ClientTreeModel& t, const QModelIndex&) { return t.indexOf(nullptr); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClientTreeTest, AnIndexOfAnotherModelIsNoNode) {
  ClientTreeModel other;
  other.addNode(nullptr, "x", "x", -1);
  const QModelIndex foreign = other.index(0, 0);
  ASSERT_TRUE(foreign.isValid());
  EXPECT_EQ(tree.nodeAt(foreign), nullptr);
  EXPECT_FALSE(tree.data(foreign).isValid());
  EXPECT_EQ(tree.rowCount(foreign), 0);
}

TEST_F(ClientTreeTest, ClientsAreFoundByTheirRecord) {
  for (int record = 0; record < 3; ++record) {
    EXPECT_EQ(tree.clientIndex(record), tree.indexOf(clients[static_cast<std::size_t>(record)])) << record;
  }
  EXPECT_EQ(tree.firstClientIndex(), tree.indexOf(clients[0]));
}

TEST(ClientTreePlaceholderTest, AddedOnceRemovedAndNeverADomain) {
  testing::ensureCoreApplication();
  ClientTreeModel tree;
  EXPECT_FALSE(tree.hasPlaceholder());
  EXPECT_FALSE(tree.firstClientIndex().isValid());
  tree.addPlaceholder();
  tree.addPlaceholder();
  ASSERT_EQ(tree.rowCount(), 1);
  EXPECT_TRUE(tree.hasPlaceholder());
  EXPECT_EQ(tree.data(tree.index(0, 0)).toString(), "(no data files)");
  EXPECT_FALSE(tree.firstClientIndex().isValid());
  // A domain whose name is the placeholder's key is a domain.
  Node* domain = tree.addNode(nullptr, "root", "root", -1);
  tree.addNode(domain, "127.0.0.1", "127.0.0.1", 0);
  tree.removePlaceholder();
  ASSERT_EQ(tree.rowCount(), 1);
  EXPECT_EQ(tree.nodeAt(tree.index(0, 0)), domain);
  EXPECT_FALSE(tree.hasPlaceholder());
  tree.removePlaceholder();
  EXPECT_EQ(tree.rowCount(), 1);
  EXPECT_EQ(tree.firstClientIndex(), tree.index(0, 0, tree.index(0, 0)));
}

}  // namespace
}  // namespace quorvane
