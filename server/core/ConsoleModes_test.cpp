// The command-line sender: exit codes 0, 1 and 2, the printed status lines,
// and that it never listens; against raw listening test sockets.
#include "server/core/ConsoleModes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <map>

#include "server/core/AuditIndex.h"

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;

class SendModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureCoreApplication();
    out = std::tmpfile();
    ASSERT_NE(out, nullptr);
  }
  void TearDown() override { std::fclose(out); }

  void addClient(const std::string& ip, int port) {
    dir.write("DataStore/" + ip + ".dat", storedForm(sampleRecord(1, ip, "lab", port)) + "\r\n");
  }

  int send(std::vector<std::string> args) {
    Expected<ServerOptions> o = parseServerCommandLine(args);
    EXPECT_TRUE(o.ok()) << o.status().description();
    return runSend(*o, dir.path(), out);
  }

  std::string printed() { return testing::readBack(out); }

  TempFolder dir;
  std::FILE* out = nullptr;
};

TEST_F(SendModeTest, EveryRowSentExitsZero) {
  QTcpServer agentA, agentB;
  ASSERT_TRUE(agentA.listen(QHostAddress("127.0.0.2"), 0));
  ASSERT_TRUE(agentB.listen(QHostAddress("127.0.0.3"), 0));
  addClient("127.0.0.2", agentA.serverPort());
  addClient("127.0.0.3", agentB.serverPort());
  // A server already runs on this folder's port: the sender must not listen.
  QTcpServer runningServer;
  ASSERT_TRUE(runningServer.listen(QHostAddress::AnyIPv4, 0));
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(runningServer.serverPort()) + "\r\n");
  EXPECT_EQ(send({"--send", "Check Client Status", "--to", "127.0.0.2,127.0.0.3"}), 0);
  const std::string text = printed();
  EXPECT_NE(text.find("127.0.0.2: Connecting...\n"), std::string::npos) << text;
  EXPECT_NE(text.find("127.0.0.2: Client Running\n"), std::string::npos) << text;
  EXPECT_NE(text.find("127.0.0.3: Client Running\n"), std::string::npos) << text;
}

TEST_F(SendModeTest, UnknownAddressExitsOneAndSendsNothing) {
  QTcpServer agent;
  ASSERT_TRUE(agent.listen(QHostAddress("127.0.0.2"), 0));
  addClient("127.0.0.2", agent.serverPort());
  EXPECT_EQ(send({"--send", "Request Re-Audit", "--to", "127.0.0.2,127.0.0.99"}), 1);
  EXPECT_EQ(printed(), "");
  QCoreApplication::processEvents();
  EXPECT_FALSE(agent.hasPendingConnections());
}

TEST_F(SendModeTest, TimeOutExitsTwo) {
  QTcpServer agent;
  ASSERT_TRUE(agent.listen(QHostAddress("127.0.0.2"), 0));
  addClient("127.0.0.2", agent.serverPort());
  addClient("127.0.0.4", 0);  // reported port 0: never reachable
  EXPECT_EQ(send({"--send", "Request Re-Audit", "--to", "127.0.0.2,127.0.0.4"}), 2);
  const std::string text = printed();
  EXPECT_NE(text.find("127.0.0.2: Request Sent\n"), std::string::npos) << text;
  EXPECT_NE(text.find("127.0.0.4: Timed out...\n"), std::string::npos) << text;
}

TEST_F(SendModeTest, EveryCommandSentIsRecordedInTheIndex) {
  QTcpServer agent;
  ASSERT_TRUE(agent.listen(QHostAddress("127.0.0.2"), 0));
  addClient("127.0.0.2", agent.serverPort());
  addClient("127.0.0.4", 0);  // never reachable
  const std::int64_t before = QDateTime::currentMSecsSinceEpoch();
  EXPECT_EQ(send({"--send", "Shutdown Windows", "--to", "127.0.0.2,127.0.0.4"}), 2);
  const std::int64_t after = QDateTime::currentMSecsSinceEpoch();

  AuditIndex index(IndexDatabase{IndexDatabase::Kind::SQLite, dir.path() + "QuorvaneIndex.sqlite", "", 0, "", "", ""});
  ASSERT_TRUE(index.open().ok());
  Expected<std::vector<CommandLogEntry>> log = index.commandLog();
  ASSERT_TRUE(log.ok()) << log.status().description();
  std::map<std::string, CommandLogEntry> byTarget;
  for (const CommandLogEntry& e : *log) byTarget[e.target] = e;
  ASSERT_EQ(log->size(), 2u);
  ASSERT_EQ(byTarget.size(), 2u);
  EXPECT_EQ(byTarget["127.0.0.2"].result, "Request Sent");
  EXPECT_EQ(byTarget["127.0.0.4"].result, "Timed out...");
  for (const auto& [target, e] : byTarget) {
    EXPECT_EQ(e.caption, "Shutdown Windows") << target;
    EXPECT_GE(e.sentMs, before) << target;
    EXPECT_LE(e.sentMs, after) << target;
  }
}

TEST_F(SendModeTest, MessageTextGoesOutIn8Bit) {
  QTcpServer agent;
  ASSERT_TRUE(agent.listen(QHostAddress("127.0.0.2"), 0));
  std::string received;
  QObject::connect(&agent, &QTcpServer::newConnection, [&] {
    QTcpSocket* s = agent.nextPendingConnection();
    QObject::connect(s, &QTcpSocket::readyRead, [&, s] { received += s->readAll().toStdString(); });
  });
  addClient("127.0.0.2", agent.serverPort());
  EXPECT_EQ(send({"--send", "Send Message", "--to", "127.0.0.2", "--message", "Caf\xC3\xA9 at 3"}), 0);
  ASSERT_TRUE(testing::waitUntil([&] { return received.size() >= 11; }));
  EXPECT_EQ(received, std::string("\x04\x01\x01" "Caf\xE9 at 3"));
}

}  // namespace
}  // namespace quorvane
