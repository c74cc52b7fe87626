// The audit exchange end to end on loopback: uploads to a small raw test
// server, commands from a raw test client, time-outs. Power actions go to the
// dry-run backend only.
#include <gtest/gtest.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentTesting.h"
#include "common/AuditRecordIO.h"

namespace quorvane::agent {
namespace {

using namespace testing;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::ShownMessage;

const auto kLoopback = asio::ip::make_address_v4("127.0.0.1");

// Accepts uploads and keeps each one's bytes once the agent half-closes.
class UploadServer {
 public:
  explicit UploadServer(asio::io_context& io, unsigned short port = 0)
      : io_(io), acceptor_(io, {kLoopback, port}) {
    acceptNext();
  }
  long port() const { return acceptor_.local_endpoint().port(); }
  std::vector<std::string> uploads;  // complete: the agent's side ended
  std::vector<Clock::time_point> acceptedAt;

 private:
  void acceptNext() {
    auto s = std::make_shared<asio::ip::tcp::socket>(io_);
    acceptor_.async_accept(*s, [this, s](const asio::error_code& ec) {
      if (ec) return;
      acceptedAt.push_back(Clock::now());
      read(s, std::make_shared<std::string>());
      acceptNext();
    });
  }
  void read(std::shared_ptr<asio::ip::tcp::socket> s, std::shared_ptr<std::string> got) {
    auto chunk = std::make_shared<std::array<char, 65536>>();
    s->async_read_some(asio::buffer(*chunk), [this, s, got, chunk](const asio::error_code& ec, std::size_t n) {
      got->append(chunk->data(), n);
      if (ec == asio::error::eof) {
        uploads.push_back(*got);
        s->close();  // the server's close completes the exchange
        return;
      }
      if (!ec) read(s, got);
    });
  }
  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
};

// A server-side command connection to the agent.
class CommandClient {
 public:
  explicit CommandClient(asio::io_context& io) : socket(io) {}
  asio::ip::tcp::socket socket;
  bool done = false;
  asio::error_code connectError;
  bool sawEnd = false;

  void connect(long port, asio::ip::address_v4 to = kLoopback) {
    socket.async_connect({to, static_cast<unsigned short>(port)}, [this](const asio::error_code& ec) {
      connectError = ec;
      done = true;
      if (!ec) watchEnd();
    });
  }
  void send(std::string_view bytes) { asio::write(socket, asio::buffer(bytes.data(), bytes.size())); }
  void close() {
    asio::error_code ignored;
    socket.shutdown(asio::socket_base::shutdown_both, ignored);
    socket.close(ignored);
  }

 private:
  void watchEnd() {
    socket.async_read_some(asio::buffer(buf_), [this](const asio::error_code& ec, std::size_t) {
      if (ec) {
        sawEnd = true;
        return;
      }
      watchEnd();
    });
  }
  std::array<char, 64> buf_{};
};

std::string uploadOf(const fs::path& auditFile) {
  return *readWholeFile(auditFile) + std::string(EndMarker);
}

class ExchangeTest : public ::testing::Test {
 protected:
  asio::io_context io;

  // An agent talking to `server`, listening on a free port.
  std::unique_ptr<AgentBench> agentFor(const UploadServer* server, const std::string& extra = "",
                                       std::int64_t timeoutMs = 15000, long listenPort = -1) {
    auto b = std::make_unique<AgentBench>(io, freshFolder("x"), timeoutMs);
    listenPort_ = listenPort >= 0 ? listenPort : freePort();
    std::string s = "ListenPortNumber:" + std::to_string(listenPort_) + "\r\n";
    if (server) {
      s += "ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(server->port()) + "\r\n";
    }
    b->writeSettings(s + extra);
    return b;
  }
  long listenPort_ = 0;

  // Connects, sends `bytes` as one piece, then closes as the server does.
  void command(std::string_view bytes) {
    CommandClient c(io);
    c.connect(listenPort_);
    ASSERT_TRUE(runUntil(io, [&] { return c.done; }));
    ASSERT_FALSE(c.connectError) << c.connectError.message();
    c.send(bytes);
    // The agent half-closes once it has recognised a token.
    ASSERT_TRUE(runUntil(io, [&] { return c.sawEnd; }));
    c.close();
  }
};

TEST_F(ExchangeTest, AnUploadIsTheFileThenTheEndMarkerThenAHalfClose) {
  UploadServer server(io);
  auto b = agentFor(&server);
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
  EXPECT_EQ(server.uploads[0], uploadOf(b->auditFile()));
  const std::string& u = server.uploads[0];
  ASSERT_GT(u.size(), 6u);
  EXPECT_EQ(u.substr(u.size() - 6), std::string("\xFD\x01\xFE\x02\xFF\x04", 6));
  auto record = decodeStoredAudit(std::string_view(u).substr(0, u.size() - 6));
  ASSERT_TRUE(record.ok()) << record.status().description();
  EXPECT_EQ(record->ListenPortNumber, listenPort_);
  EXPECT_EQ(record->Hardware.Network.IP, "127.0.0.1");
  EXPECT_EQ(record->AuditDate, "audit 1");
  EXPECT_TRUE(b->tempFolderEmpty());
  // The server's close ends the agent's side.
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->connectSocket().State() == sckClosed; }));
  EXPECT_TRUE(b->desk->shown.empty());
}

TEST_F(ExchangeTest, TheLastAuditFileIsSentWhateverAddressTheSocketUses) {
  UploadServer server(io);
  auto b = agentFor(&server);
  // The record names another address of the machine than the one the
  // connection goes out from (127.0.0.1).
  b->ip = "192.0.2.5";
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
  EXPECT_EQ(b->agent->auditFile(), b->folder / "192.0.2.5.dat");
  EXPECT_FALSE(fs::exists(b->folder / "127.0.0.1.dat"));
  EXPECT_EQ(server.uploads[0], uploadOf(b->auditFile()));
}

TEST_F(ExchangeTest, ReauditDelayTimeDelaysTheUpload) {
  struct Row {
    const char* name;
    std::string setting;
    std::chrono::milliseconds atLeast;
  };
  const std::vector<Row> rows = {
      {"1-1 waits one second", "ReauditDelayTime:1-1\r\n", std::chrono::milliseconds(1000)},
      {"no key: at once", "", std::chrono::milliseconds(0)},
      {"0-0: at once", "ReauditDelayTime:0-0\r\n", std::chrono::milliseconds(0)},
      {"no dash: at once", "ReauditDelayTime:0\r\n", std::chrono::milliseconds(0)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    UploadServer server(io);
    auto b = agentFor(&server, row.setting);
    const auto started = Clock::now();
    ASSERT_TRUE(b->agent->Form_Load());
    if (row.atLeast.count() > 0) {
      EXPECT_TRUE(b->agent->auditDelayTimer().Enabled());
      EXPECT_EQ(b->agent->auditDelayTimer().Interval(), 1000);
      EXPECT_EQ(b->agent->connectSocket().State(), sckClosed);
    } else {
      EXPECT_FALSE(b->agent->auditDelayTimer().Enabled());
      EXPECT_NE(b->agent->connectSocket().State(), sckClosed);  // connecting already
    }
    ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
    EXPECT_GE(server.acceptedAt[0] - started, row.atLeast);
    EXPECT_FALSE(b->agent->auditDelayTimer().Enabled());
  }
}

TEST_F(ExchangeTest, EachTokenTriggersItsAction) {
  struct Row {
    const char* name;
    std::string bytes;
    std::string power;                  // dry-run output
    std::vector<ShownMessage> shown;
    int audits;                         // audits done in all
    bool ends;
  };
  const std::vector<Row> rows = {
      {"tokAudit", std::string(tokAudit), "", {}, 2, false},
      {"tokQuit", std::string(tokQuit), "", {}, 1, true},
      {"tokPowerOff", std::string(tokPowerOff), "dry-run: power-off\n", {}, 1, false},
      {"tokReboot", std::string(tokReboot), "dry-run: reboot\n", {}, 1, false},
      {"tokLogOff", std::string(tokLogOff), "dry-run: log-off\n", {}, 1, false},
      {"tokHangUp", std::string(tokHangUp), "", {}, 1, false},
      {"tokMessage", std::string(tokMessage) + "Backup at 5 \xE9t\xE9 \x01", "",
       {{"Backup at 5 \xE9t\xE9 \x01", 64, "QuorvanePro"}}, 1, false},
      {"empty message", std::string(tokMessage), "", {{"", 64, "QuorvanePro"}}, 1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    UploadServer server(io);
    auto b = agentFor(&server);
    ASSERT_TRUE(b->agent->Form_Load());
    ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
    command(row.bytes);
    if (row.ends) {
      ASSERT_TRUE(runUntil(io, [&] { return b->endedWith.has_value(); }));
      EXPECT_EQ(b->endedWith, 0);
    } else {
      // Back to listening once the server closed.
      ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
      EXPECT_FALSE(b->endedWith.has_value());
    }
    if (row.audits == 2) {
      ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 2; }));
      EXPECT_EQ(server.uploads[1], uploadOf(b->auditFile()));
    }
    EXPECT_EQ(b->audits, row.audits);
    EXPECT_EQ(b->powerOut.str(), row.power);
    EXPECT_EQ(b->desk->shown, row.shown);
  }
}

TEST_F(ExchangeTest, AnUnknownPieceKeepsTheConnectionOpenUntilTheServerCloses) {
  auto b = agentFor(nullptr, "# no server\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  CommandClient c(io);
  c.connect(listenPort_);
  ASSERT_TRUE(runUntil(io, [&] { return c.done; }));
  c.send("xyz");
  // A token split across pieces is not one either.
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckConnected; }));
  for (int i = 0; i < 5; ++i) drain(io);
  c.send(std::string(tokQuit).substr(0, 2));
  for (int i = 0; i < 5; ++i) drain(io);
  EXPECT_FALSE(c.sawEnd);
  EXPECT_EQ(b->agent->listenSocket().State(), sckConnected);
  c.close();
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
  EXPECT_FALSE(b->endedWith.has_value());
  EXPECT_EQ(b->powerOut.str(), "");
  EXPECT_TRUE(b->desk->shown.empty());
}

TEST_F(ExchangeTest, ASecondCommandConnectionIsRefusedWhileOneIsOpen) {
  auto b = agentFor(nullptr, "# no server\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  CommandClient first(io), second(io);
  first.connect(listenPort_);
  ASSERT_TRUE(runUntil(io, [&] { return first.done && b->agent->listenSocket().State() == sckConnected; }));
  second.connect(listenPort_);
  ASSERT_TRUE(runUntil(io, [&] { return second.done; }));
  EXPECT_EQ(second.connectError, asio::error::connection_refused);
  first.close();
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
}

TEST_F(ExchangeTest, AfterACommandTheAgentListensOnEveryAddressAgain) {
  auto b = agentFor(nullptr, "# no server\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  const auto second = asio::ip::make_address_v4("127.0.0.2");
  for (auto to : {kLoopback, second, kLoopback}) {
    SCOPED_TRACE(to.to_string());
    CommandClient c(io);
    c.connect(listenPort_, to);
    ASSERT_TRUE(runUntil(io, [&] { return c.done; }));
    ASSERT_FALSE(c.connectError) << c.connectError.message();
    ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckConnected; }));
    c.close();
    ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
  }
}

TEST_F(ExchangeTest, TmrTimeoutCutsACommandConnectionAndListensAgain) {
  auto b = agentFor(nullptr, "# no server\r\n", /*timeoutMs=*/300);
  ASSERT_TRUE(b->agent->Form_Load());
  CommandClient silent(io);
  silent.connect(listenPort_);
  ASSERT_TRUE(runUntil(io, [&] { return silent.done && b->agent->listenSocket().State() == sckConnected; }));
  // Nothing is sent; the time-out cuts the connection and listens again.
  ASSERT_TRUE(runUntil(io, [&] { return silent.sawEnd; }));
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
  EXPECT_FALSE(b->agent->timeoutTimer().Enabled());
  CommandClient next(io);
  next.connect(listenPort_);
  ASSERT_TRUE(runUntil(io, [&] { return next.done; }));
  EXPECT_FALSE(next.connectError);
  silent.close();
}

// Short back-off steps: 200 ms doubling up to 800 ms.
void shortRetries(AgentConfig& c) {
  c.uploadRetryFirstMs = 200;
  c.uploadRetryMaxMs = 800;
}

int errorReports(const AgentBench& b, std::string_view procedure) {
  int n = 0;
  for (const auto& m : b.desk->shown) n += m.text.find("QuorvanePro.frmMain." + std::string(procedure)) != std::string::npos;
  return n;
}

TEST_F(ExchangeTest, ARefusingServerIsReportedOnceAndTheUploadTriedAgainUntilItIsUp) {
  const long port = freePort();
  auto b = std::make_unique<AgentBench>(io, freshFolder("refused"), 15000, shortRetries);
  b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(port) + "\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  // Several refused attempts, the step growing to its longest; one report.
  ASSERT_TRUE(runUntil(io, [&] { return b->count(AgentEvent::UploadFailed) >= 4; }, std::chrono::seconds(10)));
  EXPECT_EQ(b->agent->uploadRetryStepMs(), 800);
  EXPECT_TRUE(b->agent->uploadRetryTimer().Enabled());
  EXPECT_TRUE(fs::exists(b->auditFile()));
  EXPECT_EQ(b->desk->shown.size(), 1u);
  EXPECT_EQ(errorReports(*b, "sckConnect_OnError"), 1);
  EXPECT_FALSE(b->endedWith.has_value());

  // The server comes up: the audit arrives within one step, whole.
  UploadServer server(io, static_cast<unsigned short>(port));
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }, std::chrono::seconds(5)));
  EXPECT_EQ(server.uploads[0], uploadOf(b->auditFile()));
  ASSERT_TRUE(runUntil(io, [&] { return b->count(AgentEvent::UploadSent) == 1; }, std::chrono::seconds(5)));
  EXPECT_FALSE(b->agent->uploadRetryTimer().Enabled());
  EXPECT_EQ(b->agent->uploadRetryStepMs(), 200);  // the next outage starts from the first step
  EXPECT_EQ(b->desk->shown.size(), 1u);
}

TEST_F(ExchangeTest, ANewerAuditReplacesTheOneWaitingToBeSent) {
  auto b = std::make_unique<AgentBench>(io, freshFolder("replaced"), 15000, [](AgentConfig& c) {
    c.uploadRetryFirstMs = 60000;  // the retry would come much later
  });
  const long port = freePort();
  b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(port) + "\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return b->count(AgentEvent::UploadFailed) == 1; }));
  EXPECT_TRUE(b->agent->uploadRetryTimer().Enabled());
  UploadServer server(io, static_cast<unsigned short>(port));
  b->agent->doGetInfo();  // a re-audit: sent at once, the old one is not sent after it
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }, std::chrono::seconds(5)));
  const std::string& u = server.uploads[0];
  auto record = decodeStoredAudit(std::string_view(u).substr(0, u.size() - EndMarker.size()));
  ASSERT_TRUE(record.ok());
  EXPECT_EQ(record->AuditDate, "audit 2");
  EXPECT_FALSE(b->agent->uploadRetryTimer().Enabled());
  runUntil(io, [] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(server.uploads.size(), 1u);
}

// A ServerIP that cannot be used is reported once and the agent goes on
// listening for commands; one that cannot be resolved is reported once
// however often it is tried.
TEST_F(ExchangeTest, AnUnusableServerIPIsReportedOnceAndTheAgentListensOn) {
  const struct {
    const char* name;
    const char* serverIP;
    const char* procedure;
  } rows[] = {
      {"a blank before", " 127.0.0.1", "Form_Load"},
      {"a blank after", "127.0.0.1 ", "Form_Load"},
      {"numbers that are no IPv4 address", "300.1.2.3", "Form_Load"},
      {"three parts", "10.1.2", "Form_Load"},
      {"a name that does not resolve", "audit-server.invalid", "sckConnect_OnError"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto b = std::make_unique<AgentBench>(io, freshFolder("unusable"), 15000, shortRetries);
    const long listen = freePort();
    b->writeSettings(std::string("ServerIP:") + row.serverIP + "\r\nConnectPortNumber:4000\r\nListenPortNumber:" +
                     std::to_string(listen) + "\r\nAcceptCommandsFrom:127.0.0.1\r\n");
    ASSERT_TRUE(b->agent->Form_Load());
    runUntil(io, [] { return false; }, std::chrono::milliseconds(1200));  // a few back-off steps
    EXPECT_EQ(b->desk->shown.size(), 1u);
    EXPECT_EQ(errorReports(*b, row.procedure), 1);
    EXPECT_FALSE(b->endedWith.has_value());
    EXPECT_TRUE(fs::exists(b->auditFile()));
    EXPECT_EQ(b->agent->listenSocket().State(), sckListening);
    listenPort_ = listen;
    command(tokHangUp);  // commands are still taken
  }
}

// A command connection that brings no whole command is cut after the
// deadline, and the next command gets through.
TEST_F(ExchangeTest, ACommandConnectionWithoutACommandIsCutAtTheDeadline) {
  const std::string token(tokAudit);
  const struct {
    const char* name;
    std::vector<std::string> pieces;  // sent one after the other
  } rows[] = {
      {"nothing", {}},
      {"three bytes that are no token", {"abc"}},
      {"the first byte of a token", {token.substr(0, 1)}},
      {"a token split 1 + 2", {token.substr(0, 1), token.substr(1)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto b = std::make_unique<AgentBench>(io, freshFolder("deadline"), 60000,
                                          [](AgentConfig& c) { c.commandDeadlineMs = 300; });
    listenPort_ = freePort();
    b->writeSettings("ListenPortNumber:" + std::to_string(listenPort_) + "\r\n");
    ASSERT_TRUE(b->agent->Form_Load());
    CommandClient silent(io);
    silent.connect(listenPort_);
    ASSERT_TRUE(runUntil(io, [&] { return silent.done; }));
    ASSERT_FALSE(silent.connectError);
    ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckConnected; }));
    for (const std::string& piece : row.pieces) {
      silent.send(piece);
      runUntil(io, [] { return false; }, std::chrono::milliseconds(50));  // one piece per arrival
    }
    // Cut, and listening again, well before tmrTimeout (60 s here).
    ASSERT_TRUE(runUntil(io, [&] { return silent.sawEnd; }, std::chrono::seconds(5)));
    EXPECT_EQ(b->audits, 1);  // nothing was taken for a command
    command(tokHangUp);
    silent.close();
  }
}

TEST_F(ExchangeTest, ListenPortNumberZeroReportsZeroAndNeverListens) {
  UploadServer server(io);
  auto b = agentFor(&server, "", /*timeoutMs=*/200, /*listenPort=*/0);
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
  auto u = server.uploads[0];
  auto record = decodeStoredAudit(std::string_view(u).substr(0, u.size() - 6));
  ASSERT_TRUE(record.ok());
  EXPECT_EQ(record->ListenPortNumber, 0);
  // Past the time-out: still not listening.
  ASSERT_TRUE(runUntil(io, [&] { return !b->agent->timeoutTimer().Enabled(); }));
  EXPECT_EQ(b->agent->listenSocket().State(), sckClosed);
  EXPECT_TRUE(b->desk->shown.empty());
}

TEST_F(ExchangeTest, AnErrorInsideTheAuditIsReportedAndTheAgentGoesOn) {
  UploadServer server(io);
  auto folder = freshFolder("fail");
  ASSERT_TRUE(writeWholeFile(folder / "clientSettings.txt",
                             "ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(server.port()) +
                                 "\r\n").ok());
  StaticHostResolver resolver(io);
  AgentConfig c;
  c.programFolder = folder;
  auto d = std::make_unique<platform::DesktopScripted>();
  auto* desk = d.get();
  c.desktop = std::move(d);
  c.temporaryFolder = folder / "tmp";
  c.getInfo = [](AuditRecord&, const std::string&, const auto&) { throw RaisedError(91, "Object variable or With block variable not set"); };
  bool ended = false;
  c.onEnd = [&](int) { ended = true; };
  Agent a(io, resolver, std::move(c));
  EXPECT_TRUE(a.Form_Load());
  EXPECT_FALSE(ended);
  ASSERT_EQ(desk->shown.size(), 1u);
  EXPECT_EQ(desk->shown[0].style, 16);
  EXPECT_EQ(desk->shown[0].title, "QuorvanePro");
  EXPECT_EQ(desk->shown[0].text.rfind("Error in : QuorvanePro.frmMain.doGetInfo\r\n\r\nError Number : 91\r\n"
                                      "Error Description : Object variable or With block variable not set\r\nOn line : ",
                                      0),
            0u);
  EXPECT_TRUE(a.auditing());  // left set until tmrTimeout clears it
  EXPECT_TRUE(fs::is_empty(folder / "tmp"));
  for (int i = 0; i < 5; ++i) drain(io);
  EXPECT_TRUE(server.uploads.empty());
}

// The AuditDate of every upload the server took, in order.
std::vector<std::string> auditDates(const UploadServer& server) {
  std::vector<std::string> dates;
  for (const std::string& u : server.uploads) {
    auto record = decodeStoredAudit(std::string_view(u).substr(0, u.size() - EndMarker.size()));
    dates.push_back(record.ok() ? record->AuditDate : "(not an audit)");
  }
  return dates;
}

std::function<void(AgentConfig&)> hourOf(std::int64_t ms, std::int64_t retryFirstMs = 200) {
  return [=](AgentConfig& c) {
    c.reauditHourMs = ms;
    c.uploadRetryFirstMs = retryFirstMs;
    c.uploadRetryMaxMs = std::max<std::int64_t>(retryFirstMs * 4, 800);
  };
}

TEST_F(ExchangeTest, ReauditIntervalHoursAuditsAndUploadsAgain) {
  const struct {
    const char* name;
    std::string setting;
    std::chrono::milliseconds spacing;  // zero: never again
  } rows[] = {
      {"every hour", "ReauditIntervalHours:1\r\n", std::chrono::milliseconds(150)},
      {"every 2 hours", "ReauditIntervalHours:2\r\n", std::chrono::milliseconds(300)},
      {"0 is off", "ReauditIntervalHours:0\r\n", std::chrono::milliseconds(0)},
      {"no key is off", "", std::chrono::milliseconds(0)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    UploadServer server(io);
    const long listen = freePort();
    auto b = std::make_unique<AgentBench>(io, freshFolder("reaudit"), 15000, hourOf(150));
    b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(server.port()) +
                     "\r\nListenPortNumber:" + std::to_string(listen) + "\r\n" + row.setting);
    ASSERT_TRUE(b->agent->Form_Load());
    if (row.spacing.count() == 0) {
      runUntil(io, [] { return false; }, std::chrono::milliseconds(800));
      EXPECT_EQ(server.uploads.size(), 1u);
      EXPECT_EQ(b->audits, 1);
      EXPECT_FALSE(b->agent->reauditTimer().Enabled());
      continue;
    }
    EXPECT_TRUE(b->agent->reauditTimer().Enabled());
    ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() >= 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(auditDates(server)[0], "audit 1");
    EXPECT_EQ(auditDates(server)[1], "audit 2");
    EXPECT_EQ(auditDates(server)[2], "audit 3");
    for (std::size_t i = 1; i < 3; ++i) {
      // Timers never fire early; an upload may follow its audit a little late
      // on a busy machine, which shortens the next gap, never by a third.
      EXPECT_GE(server.acceptedAt[i] - server.acceptedAt[i - 1], row.spacing * 2 / 3);
    }
    EXPECT_TRUE(b->desk->shown.empty());
    EXPECT_EQ(b->agent->listenSocket().State(), sckListening);  // commands are still taken
  }
}

// With a ReauditDelayTime spread longer than the interval, every audit waits
// for its spread and is sent once; ticks meanwhile make no audits that would
// pile up or replace the waiting one.
TEST_F(ExchangeTest, ARegularAuditWaitsForTheSpreadAndIsSentOnce) {
  UploadServer server(io);
  auto b = std::make_unique<AgentBench>(io, freshFolder("spread"), 15000, hourOf(100));
  b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(server.port()) +
                   "\r\nReauditDelayTime:1-1\r\nReauditIntervalHours:1\r\n");
  const auto started = Clock::now();
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 2; }, std::chrono::seconds(10)));
  EXPECT_GE(server.acceptedAt[0] - started, std::chrono::seconds(1));
  EXPECT_GE(server.acceptedAt[1] - server.acceptedAt[0], std::chrono::seconds(1));
  EXPECT_EQ(auditDates(server), (std::vector<std::string>{"audit 1", "audit 2"}));
  // At most the audit now waiting for its spread beyond the two sent.
  EXPECT_LE(b->audits, 3);
}

// A failed upload waits for its retry; the regular audit replaces it, and
// once the server is up only ever newer audits arrive, each once.
TEST_F(ExchangeTest, ARegularAuditReplacesAnUploadWaitingForItsRetry) {
  const long port = freePort();
  auto b = std::make_unique<AgentBench>(io, freshFolder("reretry"), 15000, hourOf(300, 60000));
  b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(port) +
                   "\r\nReauditIntervalHours:1\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return b->count(AgentEvent::UploadFailed) == 2; }, std::chrono::seconds(5)));
  EXPECT_EQ(b->audits, 2);  // the second failure is the new audit's own attempt
  EXPECT_TRUE(b->agent->uploadRetryTimer().Enabled());
  EXPECT_EQ(b->agent->uploadRetryStepMs(), 120000);  // the back-off started again with the new audit
  EXPECT_EQ(errorReports(*b, "sckConnect_OnError"), 1);

  UploadServer server(io, static_cast<unsigned short>(port));
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 2; }, std::chrono::seconds(5)));
  const auto dates = auditDates(server);
  EXPECT_EQ(dates[0], "audit 3");
  EXPECT_EQ(dates[1], "audit 4");
  EXPECT_EQ(b->count(AgentEvent::UploadStarted), 4);  // no retry of an old audit in between
}

// Any audit (a console's re-audit too) restarts the count.
TEST_F(ExchangeTest, AnyAuditRestartsTheRegularAuditCount) {
  UploadServer server(io);
  auto b = std::make_unique<AgentBench>(io, freshFolder("restart"), 15000, hourOf(400));
  b->writeSettings("ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(server.port()) +
                   "\r\nReauditIntervalHours:1\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 1; }));
  runUntil(io, [] { return false; }, std::chrono::milliseconds(250));
  const auto reaudited = Clock::now();
  b->agent->doGetInfo();
  ASSERT_TRUE(runUntil(io, [&] { return server.uploads.size() == 3; }, std::chrono::seconds(5)));
  EXPECT_LT(server.acceptedAt[1] - reaudited, std::chrono::milliseconds(200));
  EXPECT_GE(server.acceptedAt[2] - reaudited, std::chrono::milliseconds(400));
  EXPECT_EQ(auditDates(server), (std::vector<std::string>{"audit 1", "audit 2", "audit 3"}));
}

// Tells the agent's messages to nobody, answering with scripted problems.
class ScriptedMessenger final : public platform::UserMessenger {
 public:
  ScriptedMessenger(asio::io_context& io, std::vector<std::string>& told,
                    std::vector<std::vector<std::string>> answers)
      : io_(io), told_(told), answers_(std::move(answers)) {}
  void tell(std::string_view text, Done done) override {
    told_.emplace_back(text);
    auto problems = answers_.empty() ? std::vector<std::string>{} : answers_.front();
    if (!answers_.empty()) answers_.erase(answers_.begin());
    asio::post(io_, [done = std::move(done), problems] { done(problems); });
  }

 private:
  asio::io_context& io_;
  std::vector<std::string>& told_;
  std::vector<std::vector<std::string>> answers_;
};

// A message goes to the people at the PC as it came (8-bit text) and to the
// message box; each distinct delivery problem is reported once.
TEST_F(ExchangeTest, AMessageIsToldToThePeopleAtThePCAndItsProblemsReportedOnce) {
  std::vector<std::string> told;
  const std::vector<std::vector<std::string>> answers = {
      {"no notification service for user 1000", "bus of user 1001 not there"},
      {"no notification service for user 1000"},
      {},
  };
  auto b = std::make_unique<AgentBench>(io, freshFolder("tell"), 15000, [&](AgentConfig& c) {
    c.userMessenger = std::make_unique<ScriptedMessenger>(io, told, answers);
  });
  listenPort_ = freePort();
  b->writeSettings("ListenPortNumber:" + std::to_string(listenPort_) + "\r\n");
  ASSERT_TRUE(b->agent->Form_Load());
  const std::vector<std::string> texts = {"Gr\xFC\xDF" "e", "", std::string(200, '\x80')};
  for (const std::string& text : texts) {
    ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
    command(std::string(tokMessage) + text);
  }
  ASSERT_TRUE(runUntil(io, [&] { return told.size() == 3 && b->desk->shown.size() == 5; }));
  EXPECT_EQ(told, texts);
  std::vector<std::string> reports, boxes;
  for (const ShownMessage& m : b->desk->shown) (m.style == 16 ? reports : boxes).push_back(m.text);
  EXPECT_EQ(boxes, texts);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].rfind("Error in : QuorvanePro.frmMain.sckListen_OnClose\r\n\r\nError Number : 68\r\n"
                             "Error Description : no notification service for user 1000\r\n", 0), 0u);
  EXPECT_NE(reports[1].find("Error Description : bus of user 1001 not there"), std::string::npos);
  ASSERT_TRUE(runUntil(io, [&] { return b->agent->listenSocket().State() == sckListening; }));
}

}  // namespace
}  // namespace quorvane::agent
