// Command connections against raw listening test sockets on loopback: the
// bytes of every request button, the message text, "Check Client Status"
// sending nothing, several clients in parallel, and the time-out against a
// closed port or an unusable address.
#include "server/core/CommandDispatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include "common/CommandEnvelope.h"
#include "server/core/ServerCore.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using namespace std::string_literals;
using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::waitUntil;

// A stand-in for an agent's command listener: records what each connection
// carried until the server closed it.
class TokenReceiver {
 public:
  explicit TokenReceiver(const char* address) {
    server_.listen(QHostAddress(QString::fromLatin1(address)), 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        const std::size_t slot = connections.size();
        connections.push_back({});
        QObject::connect(s, &QTcpSocket::readyRead, [this, s, slot] {
          connections[slot].bytes += s->readAll().toStdString();
        });
        QObject::connect(s, &QTcpSocket::disconnected, [this, s, slot] {
          connections[slot].bytes += s->readAll().toStdString();
          connections[slot].closed = true;
          s->deleteLater();
        });
      }
    });
  }
  int port() const { return server_.serverPort(); }
  bool listening() const { return server_.isListening(); }

  struct Received {
    std::string bytes;
    bool closed = false;
  };
  std::vector<Received> connections;

 private:
  QTcpServer server_;
};

int unusedPort(const char* address) {
  QTcpServer probe;
  probe.listen(QHostAddress(QString::fromLatin1(address)), 0);
  const int port = probe.serverPort();
  probe.close();
  return port;
}

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  void addClient(const std::string& ip, int listenPort) {
    dir.write("DataStore/" + ip + ".dat", storedForm(sampleRecord(1, ip, "lab", listenPort)) + "\r\n");
  }

  void start(int timeoutMs = kCommandTimeoutMs) {
    core = std::make_unique<ServerCore>(dir.path(), sink);
    core->setCommandTimeoutMs(timeoutMs);
    core->setCommandResultHook([this](const CommandLogEntry& e) { results[e.target].push_back(e); });
    StartupView view;
    StartupOptions options;
    options.listen = false;
    ASSERT_TRUE(core->start(view, options).ok());
    QObject::connect(&core->state().clientList(), &ClientListModel::statusWritten,
                     [this](const QString& ip, const QString& s) {
                       history[ip.toStdString()].push_back(s.toStdString());
                     });
  }

  void tick(const std::string& ip) {
    ClientListModel& list = core->state().clientList();
    const int row = list.rowOfIp(QString::fromStdString(ip));
    ASSERT_GE(row, 0) << ip;
    list.setChecked(row, true);
  }

  bool settle() {
    return waitUntil([&] { return core->dispatcher()->pending() == 0; }, 30000);
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  std::map<std::string, std::vector<std::string>> history;
  std::map<std::string, std::vector<CommandLogEntry>> results;  // what the command log hears
};

struct TokenCase {
  const char* caption;
  std::string bytes;
};

class RequestButtonTest : public CommandTest, public ::testing::WithParamInterface<TokenCase> {};

TEST_P(RequestButtonTest, SendsItsTokenAndCloses) {
  TokenReceiver agent("127.0.0.2");
  ASSERT_TRUE(agent.listening());
  addClient("127.0.0.2", agent.port());
  start();
  tick("127.0.0.2");
  const std::optional<CommandCode> code = commandCodeForCaption(GetParam().caption);
  ASSERT_TRUE(code.has_value());
  if (*code == CommandCode::Message) core->dispatcher()->setMessageText("Back in 5 min\xE9");
  EXPECT_EQ(core->dispatcher()->cmdDo(*code), 1);
  ASSERT_TRUE(settle());
  ASSERT_TRUE(waitUntil([&] { return agent.connections.size() == 1 && agent.connections[0].closed; }));
  EXPECT_EQ(agent.connections[0].bytes, GetParam().bytes);
  EXPECT_EQ(history["127.0.0.2"], (std::vector<std::string>{"Connecting...", "Connected", "Request Sent"}));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, RequestButtonTest,
    ::testing::Values(TokenCase{"Request Re-Audit", "\x01\x02\x03"s}, TokenCase{"Close Quorvane", "\x03\x01\x02"s},
                      TokenCase{"Shutdown Windows", "\x01\x03\x02"s}, TokenCase{"Reboot Windows", "\x02\x01\x03"s},
                      TokenCase{"Log-Off Windows", "\x02\x03\x01"s},
                      TokenCase{"Send Message", "\x04\x01\x01"s + "Back in 5 min\xE9"}),
    [](const auto& info) {
      std::string name;
      for (char c : std::string(info.param.caption)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name.push_back(c);
      }
      return name;
    });

TEST_F(CommandTest, CheckClientStatusSendsNothing) {
  TokenReceiver agent("127.0.0.3");
  addClient("127.0.0.3", agent.port());
  start();
  tick("127.0.0.3");
  core->dispatcher()->cmdDo(CommandCode::CheckStatus);
  ASSERT_TRUE(settle());
  ASSERT_TRUE(waitUntil([&] { return agent.connections.size() == 1 && agent.connections[0].closed; }));
  EXPECT_EQ(agent.connections[0].bytes, "");
  EXPECT_EQ(history["127.0.0.3"], (std::vector<std::string>{"Connecting...", "Client Running"}));
  ASSERT_EQ(results["127.0.0.3"].size(), 1u);
  EXPECT_EQ(results["127.0.0.3"][0].caption, "Check Client Status");
  EXPECT_EQ(results["127.0.0.3"][0].result, "Client Running");
}

TEST_F(CommandTest, ClosedPortTimesOutAfterFiveSeconds) {
  addClient("127.0.0.4", unusedPort("127.0.0.4"));
  start();
  tick("127.0.0.4");
  QElapsedTimer clock;
  clock.start();
  core->dispatcher()->cmdDo(CommandCode::ReAudit);
  ASSERT_TRUE(settle());
  EXPECT_GE(clock.elapsed(), 4900);
  EXPECT_EQ(history["127.0.0.4"], (std::vector<std::string>{"Connecting...", "Timed out..."}));
}

TEST_F(CommandTest, UnusableTargetsTimeOutWithoutConnecting) {
  addClient("127.0.0.5", 0);  // the agent reported port 0
  dir.write("DataStore/not-an-address.dat", storedForm(sampleRecord(2, "127.0.0.6", "lab", 1)) + "\r\n");
  start(200);
  tick("127.0.0.5");
  tick("not-an-address");
  EXPECT_EQ(core->dispatcher()->cmdDo(CommandCode::ReAudit), 2);
  ASSERT_TRUE(settle());
  EXPECT_EQ(history["127.0.0.5"], (std::vector<std::string>{"Connecting...", "Timed out..."}));
  EXPECT_EQ(history["not-an-address"], (std::vector<std::string>{"Connecting...", "Timed out..."}));
}

TEST_F(CommandTest, TickedRowsAreContactedInParallel) {
  TokenReceiver a("127.0.0.7");
  TokenReceiver b("127.0.0.8");
  addClient("127.0.0.7", a.port());
  addClient("127.0.0.8", b.port());
  addClient("127.0.0.9", unusedPort("127.0.0.9"));
  addClient("127.0.0.10", a.port());  // not ticked
  start(1500);
  tick("127.0.0.7");
  tick("127.0.0.8");
  tick("127.0.0.9");
  bool settled = false;
  QObject::connect(core->dispatcher(), &CommandDispatcher::allSettled, [&] { settled = true; });
  EXPECT_EQ(core->dispatcher()->cmdDo(CommandCode::Reboot), 3);
  EXPECT_EQ(core->dispatcher()->pending(), 3);
  ASSERT_TRUE(settle());
  EXPECT_TRUE(settled);
  EXPECT_EQ(history["127.0.0.7"].back(), "Request Sent");
  EXPECT_EQ(history["127.0.0.8"].back(), "Request Sent");
  EXPECT_EQ(history["127.0.0.9"].back(), "Timed out...");
  EXPECT_TRUE(history["127.0.0.10"].empty());
  struct Logged {
    const char* target;
    const char* result;
  };
  for (const Logged& row : {Logged{"127.0.0.7", "Request Sent"}, Logged{"127.0.0.8", "Request Sent"},
                            Logged{"127.0.0.9", "Timed out..."}}) {
    ASSERT_EQ(results[row.target].size(), 1u) << row.target << ": once, at its final status";
    EXPECT_EQ(results[row.target][0].caption, "Reboot Windows") << row.target;
    EXPECT_EQ(results[row.target][0].result, row.result) << row.target;
    EXPECT_GT(results[row.target][0].sentMs, 0) << row.target;
  }
  EXPECT_EQ(results.count("127.0.0.10"), 0u);
  ASSERT_TRUE(waitUntil([&] { return a.connections.size() == 1 && a.connections[0].closed; }));
  EXPECT_EQ(a.connections[0].bytes, "\x02\x01\x03"s);
}

TEST_F(CommandTest, NothingTickedDoesNothing) {
  TokenReceiver agent("127.0.0.2");
  addClient("127.0.0.2", agent.port());
  start();
  EXPECT_EQ(core->dispatcher()->cmdDo(CommandCode::PowerOff), 0);
  EXPECT_EQ(core->dispatcher()->pending(), 0);
  EXPECT_TRUE(history.empty());
  QCoreApplication::processEvents();
  EXPECT_TRUE(agent.connections.empty());
}

// A stand-in for an agent that holds the console's public key: it greets
// every connection with `greeting`, and once a whole envelope has arrived it
// answers `verdict` (nothing: it closes without one).
class SigningAgent {
 public:
  SigningAgent(const char* address, std::string greeting, std::string verdict)
      : greeting_(std::move(greeting)), verdict_(std::move(verdict)) {
    server_.listen(QHostAddress(QString::fromLatin1(address)), 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        if (!greeting_.empty()) s->write(greeting_.data(), static_cast<qint64>(greeting_.size()));
        QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
          received += s->readAll().toStdString();
          if (parseEnvelope(received).state == EnvelopeState::Incomplete) return;
          if (verdict_.empty()) {
            s->close();
          } else {
            s->write(verdict_.data(), static_cast<qint64>(verdict_.size()));
          }
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  int port() const { return server_.serverPort(); }
  std::string received;

 private:
  QTcpServer server_;
  std::string greeting_;
  std::string verdict_;
};

TEST_F(CommandTest, WithACommandKeyEveryCommandIsSignedAndTheVerdictShown) {
  const std::string challenge(kChallengeSize, '\x42');
  const std::string greeting = makeChallengeMessage(challenge);
  struct Row {
    const char* name;
    std::string greeting;
    std::string verdict;
    CommandCode code;
    std::vector<std::string> statuses;
    bool envelopeSent;
  };
  const std::vector<Row> rows = {
      {"accepted", greeting, std::string(kVerdictAccepted), CommandCode::PowerOff,
       {"Connecting...", "Connected", "Request Sent"}, true},
      {"accepted message", greeting, std::string(kVerdictAccepted), CommandCode::Message,
       {"Connecting...", "Connected", "Request Sent"}, true},
      {"refused", greeting, std::string(kVerdictRefused), CommandCode::Reboot,
       {"Connecting...", "Connected", "Refused by client"}, true},
      {"closed without a verdict", greeting, "", CommandCode::ReAudit,
       {"Connecting...", "Connected", "Refused by client"}, true},
      {"an agent without the key: no challenge", "", "", CommandCode::Quit,
       {"Connecting...", "Connected", "Timed out..."}, false},
      {"not a challenge", std::string(20, 'x'), "", CommandCode::LogOff,
       {"Connecting...", "Connected", "Refused by client"}, false},
      {"status check sends nothing", greeting, "", CommandCode::CheckStatus,
       {"Connecting...", "Client Running"}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    history.clear();
    results.clear();
    core.reset();
    std::filesystem::remove_all(dir.path() + "DataStore");
    std::filesystem::remove(dir.path() + "commandKey.pem");
    ASSERT_TRUE(CommandKey::create(dir.path() + "commandKey.pem"));
    SigningAgent agent("127.0.0.2", r.greeting, r.verdict);
    addClient("127.0.0.2", agent.port());
    start(1000);
    ASSERT_TRUE(core->dispatcher()->signs());
    core->dispatcher()->setMessageText("lunch");
    tick("127.0.0.2");
    ASSERT_EQ(core->dispatcher()->cmdDo(r.code), 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(history["127.0.0.2"], r.statuses);
    ASSERT_EQ(results["127.0.0.2"].size(), 1u);
    EXPECT_EQ(results["127.0.0.2"][0].result, r.statuses.back()) << "the log records the refusal as shown";
    if (!r.envelopeSent) {
      EXPECT_EQ(agent.received, "");
      continue;
    }
    const ParsedEnvelope e = parseEnvelope(agent.received);
    ASSERT_EQ(e.state, EnvelopeState::Complete);
    EXPECT_EQ(e.envelope.challenge, challenge);
    EXPECT_EQ(e.envelope.address, "127.0.0.2");
    EXPECT_EQ(e.envelope.code, static_cast<int>(r.code));
    EXPECT_EQ(e.envelope.text, r.code == CommandCode::Message ? "lunch" : "");
    EXPECT_EQ(e.envelope.signature.size(), kEnvelopeSignatureSize);
  }
}

TEST_F(CommandTest, AnUnreadableKeyIsReportedAndCommandsGoOutPlain) {
  dir.write("commandKey.pem", "not a key");
  TokenReceiver agent("127.0.0.3");
  addClient("127.0.0.3", agent.port());
  start();
  EXPECT_FALSE(core->dispatcher()->signs());
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_NE(sink.messages[0].text.find("not a command key"), std::string::npos) << sink.messages[0].text;
  tick("127.0.0.3");
  core->dispatcher()->cmdDo(CommandCode::ReAudit);
  ASSERT_TRUE(settle());
  EXPECT_EQ(history["127.0.0.3"].back(), "Request Sent");
}

}  // namespace
}  // namespace quorvane
