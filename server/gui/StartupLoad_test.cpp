// The window's start-up over a DataStore of many clients: the tree and the
// list are frozen while it loads and brought up to date once at the end
// (every domain opened, the last client scrolled to), so that start-up time
// grows with the number of clients, not with its square.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>

#include "server/gui/frmMain.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;

TEST(StartupLoad, ManyClientsEndWithEveryDomainOpenAndTheLastClientInView) {
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "startupload_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
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

}  // namespace
}  // namespace quorvane
