// Agent start-up, its end, and the quit flows through the real handlers.
#include <gtest/gtest.h>

#include "agent/AgentTesting.h"
#include "common/AuditRecordIO.h"
#include "platform/DesktopHeadless.h"

namespace quorvane::agent {
namespace {

using namespace testing;
namespace fs = std::filesystem;
using platform::ShownMessage;

class AgentStartTest : public ::testing::Test {
 protected:
  asio::io_context io;
};

TEST_F(AgentStartTest, StartupErrorsShowTheirDialogAndEnd) {
  asio::io_context other;
  asio::ip::tcp::acceptor busy(other, asio::ip::tcp::endpoint(asio::ip::make_address_v4("0.0.0.0"), 0));
  busy.listen();
  const long busyPort = busy.local_endpoint().port();
  struct Row {
    const char* name;
    std::string settings;
    ShownMessage shown;
  };
  const std::vector<Row> rows = {
      {"ConnectPortNumber abc",
       "ServerIP:127.0.0.1\r\nConnectPortNumber:abc\r\n",
       {"Error while reading in settings file...\r\n\r\nError Number : \t13\r\n"
        "Error Desc. : \tType mismatch\r\n\r\nPossible Fault : \tabc\r\n"
        "Error On Line  : \tConnectPortNumber:abc\r\nError On Type  : \tString\r\n"
        "Expected Type  : \tInteger",
        16, "Quorvane Pro - Critical Error Message"}},
      {"known key without a colon", "#\r\nShowSystemTray:True\r\nQuitPassword\r\n",
       {"9\r\nSubscript out of range\r\nError line : 3", 0, "QuorvanePro"}},
      {"listening port in use", "ListenPortNumber:" + std::to_string(busyPort) + "\r\n",
       {"10048\r\nAddress already in use.\r\nError line : 10", 0, "QuorvanePro"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    AgentBench b(io, freshFolder("err"));
    b.writeSettings(row.settings);
    EXPECT_FALSE(b.agent->Form_Load());
    EXPECT_EQ(b.endedWith, 1);
    ASSERT_EQ(b.desk->shown.size(), 1u);
    EXPECT_EQ(b.desk->shown[0], row.shown);
    EXPECT_FALSE(b.desk->trayShown);
    EXPECT_EQ(b.audits, 0);
    EXPECT_FALSE(fs::exists(b.auditFile()));
    // The lock went with the agent: a new one starts on the folder.
    b.writeSettings("# fixed\r\n");
    AgentBench again(io, b.folder);
    EXPECT_TRUE(again.agent->Form_Load());
  }
}

TEST_F(AgentStartTest, MissingSettingsAuditOnceAndEnd) {
  AgentBench b(io, freshFolder("once"));
  EXPECT_FALSE(b.agent->Form_Load());
  EXPECT_EQ(b.endedWith, 0);
  EXPECT_TRUE(fs::exists(b.folder / "clientSettings.txt"));
  EXPECT_EQ(FileLen2(b.folder / "clientSettings.txt"), 0u);
  EXPECT_TRUE(b.desk->shown.empty());
  EXPECT_FALSE(b.desk->trayShown);
  EXPECT_EQ(b.agent->listenSocket().State(), sckClosed);
  ASSERT_TRUE(fs::exists(b.auditFile()));
  auto bytes = readWholeFile(b.auditFile());
  auto record = decodeStoredAudit(*bytes);
  ASSERT_TRUE(record.ok()) << record.status().description();
  EXPECT_EQ(record->ListenPortNumber, 0);
  EXPECT_EQ(record->AuditDate, "audit 1");
  EXPECT_TRUE(b.tempFolderEmpty()) << "the temporary file must go once used";
}

TEST_F(AgentStartTest, CommentsOnlyKeepsRunning) {
  AgentBench b(io, freshFolder("comments"));
  b.writeSettings("# nothing set\r\n\r\n");
  EXPECT_TRUE(b.agent->Form_Load());
  EXPECT_FALSE(b.endedWith.has_value());
  EXPECT_FALSE(b.agent->quitPending());
  EXPECT_TRUE(fs::exists(b.auditFile()));
  EXPECT_TRUE(b.agent->timeoutTimer().Enabled());
}

TEST_F(AgentStartTest, ASecondAgentOnTheSameFolderEndsSilently) {
  AgentBench first(io, freshFolder("single"));
  first.writeSettings("# running\r\n");
  ASSERT_TRUE(first.agent->Form_Load());

  AgentBench second(io, first.folder);
  EXPECT_FALSE(second.agent->Form_Load());
  EXPECT_EQ(second.endedWith, 0);
  EXPECT_TRUE(second.desk->shown.empty());
  EXPECT_EQ(second.audits, 0);

  AgentBench elsewhere(io, freshFolder("single-other"));
  elsewhere.writeSettings("# running too\r\n");
  EXPECT_TRUE(elsewhere.agent->Form_Load());
}

TEST_F(AgentStartTest, ListenPortNumberAcceptsConnectionsAndIsRecorded) {
  AgentBench b(io, freshFolder("listen"));
  const long port = freePort();
  b.writeSettings("ListenPortNumber:" + std::to_string(port) + "\r\n");
  ASSERT_TRUE(b.agent->Form_Load());
  EXPECT_EQ(b.agent->listenSocket().State(), sckListening);
  EXPECT_EQ(b.agent->record().ListenPortNumber, port);

  asio::ip::tcp::socket peer(io);
  bool connected = false;
  peer.async_connect({asio::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)},
                     [&](const asio::error_code& ec) { connected = !ec; });
  ASSERT_TRUE(runUntil(io, [&] { return connected && b.agent->listenSocket().State() == sckConnected; }));
}

TEST_F(AgentStartTest, HeadlessDesktopReportsTheTrayOnceAndGoesOn) {
  auto folder = freshFolder("headless");
  ASSERT_TRUE(writeWholeFile(folder / "clientSettings.txt", "ShowSystemTray:True\r\n").ok());
  std::ostringstream err;
  AgentConfig c;
  c.programFolder = folder;
  c.desktop = std::make_unique<platform::DesktopHeadless>(err);
  c.temporaryFolder = folder / "tmp";
  StaticHostResolver resolver(io);
  bool ended = false;
  c.onEnd = [&](int) { ended = true; };
  Agent a(io, resolver, std::move(c));
  EXPECT_TRUE(a.Form_Load());
  EXPECT_FALSE(ended);
  EXPECT_EQ(err.str(),
            "Quorvane Pro: this desktop has no notification area; the tray icon is not shown.\n");
}

TEST_F(AgentStartTest, FormUnloadReleasesThePortAndEndsWithZero) {
  AgentBench b(io, freshFolder("unload"));
  const long port = freePort();
  b.writeSettings("ListenPortNumber:" + std::to_string(port) + "\r\nShowSystemTray:True\r\n");
  ASSERT_TRUE(b.agent->Form_Load());
  EXPECT_TRUE(b.desk->trayShown);
  b.agent->Form_Unload();
  EXPECT_EQ(b.endedWith, 0);
  EXPECT_FALSE(b.desk->trayShown);
  asio::ip::tcp::acceptor again(io);
  again.open(asio::ip::tcp::v4());
  asio::error_code ec;
  again.bind({asio::ip::make_address_v4("0.0.0.0"), static_cast<unsigned short>(port)}, ec);
  EXPECT_FALSE(ec) << ec.message();
  // Nothing runs after the end.
  b.agent->doGetInfo();
  EXPECT_EQ(b.audits, 1);
}

// The quit flows, driven as the person would: right-click the tray icon,
// pick "Quit", answer or type.
TEST_F(AgentStartTest, QuitFlows) {
  struct Row {
    const char* name;
    std::string settings;
    std::function<void(platform::DesktopScripted&)> act;
    bool ends;
    std::vector<ShownMessage> shown;
  };
  const ShownMessage areYouSure{"Are you sure you want to Quit", 20, "QuorvanePro"};
  const ShownMessage invalid{"Invalid Password", 16, "QuorvanePro"};
  const std::vector<Row> rows = {
      {"allowed, Yes", "AllowQuit:True\r\n", [](auto& d) { d.answers = {platform::kAnswerYes}; },
       true, {areYouSure}},
      {"allowed, No", "AllowQuit:1\r\n", [](auto& d) { d.answers = {platform::kAnswerNo}; }, false,
       {areYouSure}},
      {"right password", "QuitPassword:Pa55\r\n", [](auto& d) { d.pressOk("Pa55"); }, true, {}},
      {"wrong password", "QuitPassword:Pa55\r\n", [](auto& d) { d.pressOk("pa55"); }, false,
       {invalid}},
      {"password with a blank", "QuitPassword:Pa55\r\n", [](auto& d) { d.pressOk("Pa55 "); },
       false, {invalid}},
      {"no password set, empty entry", "# none\r\n", [](auto& d) { d.pressOk(""); }, true, {}},
      {"no password set, some entry", "# none\r\n", [](auto& d) { d.pressOk("x"); }, false,
       {invalid}},
      {"cancel", "QuitPassword:Pa55\r\n", [](auto& d) { d.pressCancel(); }, false, {}},
      {"the close box does not close it", "QuitPassword:Pa55\r\n",
       [](auto& d) {
         EXPECT_FALSE(d.pressCloseBox());
         EXPECT_TRUE(d.inputBoxOpen);
         d.pressOk("Pa55");
       },
       true, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    AgentBench b(io, freshFolder("quit"));
    b.writeSettings("ShowSystemTray:True\r\n" + row.settings);
    ASSERT_TRUE(b.agent->Form_Load());
    ASSERT_TRUE(b.desk->trayShown);
    EXPECT_EQ(b.desk->trayTip, "Quorvane Pro");

    // A left click does nothing.
    b.desk->clickTray(platform::kTrayLeftButtonDown);
    EXPECT_TRUE(b.desk->menus.empty());

    b.desk->menuChoice = 0;
    if (row.settings.rfind("AllowQuit", 0) == 0) row.act(*b.desk);  // answers first
    b.desk->clickTray(platform::kTrayRightButtonDown);
    ASSERT_EQ(b.desk->menus.size(), 1u);
    EXPECT_EQ(b.desk->menus[0], std::vector<std::string>{"Quit"});
    EXPECT_EQ(b.desk->foregroundCalls, 1);
    if (row.settings.rfind("AllowQuit", 0) != 0) {
      ASSERT_TRUE(b.desk->inputBoxOpen);
      EXPECT_EQ(b.desk->inputBoxPrompt, "Please enter your password below ...");
      EXPECT_FALSE(b.endedWith.has_value()) << "the dialog is modeless";
      row.act(*b.desk);
      EXPECT_FALSE(b.desk->inputBoxOpen);
    }
    EXPECT_EQ(b.endedWith.has_value(), row.ends);
    if (row.ends) {
      EXPECT_EQ(b.endedWith, 0);
      EXPECT_FALSE(b.desk->trayShown);
    }
    EXPECT_EQ(b.desk->shown, row.shown);
  }
}

}  // namespace
}  // namespace quorvane::agent
