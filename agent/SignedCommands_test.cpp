// An agent holding the console's public command key: only a command signed
// for this connection's challenge and this PC's address is obeyed. Every
// exchange comes from a raw loopback client; power goes to the dry-run
// backend only.
#include <gtest/gtest.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentTesting.h"
#include "agent/SignedCommandRows.h"
#include "common/CommandEnvelope.h"
#include "server/key/CommandKey.h"

namespace quorvane::agent {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct SignedAgent {
  asio::io_context& io;
  AgentBench bench;
  long port = freePort();
  CommandKey key = *CommandKey::generate();

  explicit SignedAgent(asio::io_context& loop, bool withKey = true)
      : io(loop), bench(loop, freshFolder("signed"), 15000, [](AgentConfig& c) { c.commandDeadlineMs = 300; }) {
    bench.writeSettings("ListenPortNumber:" + std::to_string(port) + "\r\n" +
                        (withKey ? key.publicKeyLine() + "\r\n" : std::string()));
  }
  ~SignedAgent() {
    bench.agent.reset();
    fs::remove_all(bench.folder);
  }
  bool listening() { return runUntil(io, [&] { return bench.agent->listenSocket().State() == sckListening; }); }
  CommandExchange send(const ReplyFn& reply, bool halfClose, bool awaitChallenge = true) {
    return commandExchange(io, "127.0.0.1", port, reply, halfClose, awaitChallenge);
  }
  std::vector<std::string> shownTexts(int style) const {
    std::vector<std::string> out;
    for (const auto& m : bench.desk->shown) {
      if (m.style == style) out.push_back(m.text);
    }
    return out;
  }
};

// The agent in this process, as the rows see it: its dry-run power trace and
// the scripted desktop's message boxes.
class BenchWatch final : public AgentWatch {
 public:
  explicit BenchWatch(const AgentBench& bench) : bench_(bench) {}
  AgentSeen seen() override {
    AgentSeen s;
    s.power = bench_.powerOut.str();
    for (const auto& m : bench_.desk->shown) {
      if (m.style == platform::kMbInformation) s.messages.push_back(m.text);
      if (m.style == platform::kMbCritical) s.reports.push_back(m.text);
    }
    return s;
  }

 private:
  const AgentBench& bench_;
};

TEST(SignedCommands, OnlyTheRightSignatureForThisChallengeAndAddressIsObeyed) {
  asio::io_context io;
  SignedAgent a(io);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  ASSERT_TRUE(a.listening());
  BenchWatch watch(a.bench);
  playSignedCommandRows(io, "127.0.0.1", a.port, a.key, watch);
  EXPECT_FALSE(a.bench.agent->ended());
  // Every refusal counted, also those reported only once.
  const auto rows = signedCommandRows();
  const auto refusedRows = std::count_if(rows.begin(), rows.end(), [](const auto& r) { return !r.obeyed; });
  EXPECT_EQ(a.bench.count(AgentEvent::CommandRefused), refusedRows + 3);
}

TEST(SignedCommands, RefusalsAreReportedOnceUntilASignedCommandIsObeyed) {
  asio::io_context io;
  SignedAgent a(io);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  auto refused = [&] {
    ASSERT_TRUE(a.send([](auto&) { return std::string(tokQuit); }, false).connected);
    ASSERT_TRUE(a.listening());
  };
  for (int i = 0; i < 5; ++i) refused();
  EXPECT_EQ(a.shownTexts(platform::kMbCritical).size(), 1u);
  EXPECT_EQ(a.bench.count(AgentEvent::CommandRefused), 5);
  ASSERT_TRUE(a.send([&](auto& ch) { return signedEnvelope(a.key, ch, "127.0.0.1", 4); }, false).connected);
  ASSERT_TRUE(a.listening());
  refused();
  EXPECT_EQ(a.shownTexts(platform::kMbCritical).size(), 2u);
  EXPECT_EQ(a.bench.powerOut.str(), "dry-run: log-off\n");
  // A signed quit ends the agent.
  ASSERT_TRUE(a.send([&](auto& ch) { return signedEnvelope(a.key, ch, "127.0.0.1", 1); }, false).connected);
  EXPECT_TRUE(runUntil(io, [&] { return a.bench.agent->ended(); }));
}

TEST(SignedCommands, AStatusCheckThatSendsNothingIsNoRefusal) {
  asio::io_context io;
  SignedAgent a(io);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  CommandExchange x = a.send([](auto&) { return std::string(); }, true);
  ASSERT_TRUE(x.connected);
  EXPECT_EQ(x.challenge.size(), kChallengeSize);
  ASSERT_TRUE(a.listening());
  EXPECT_EQ(a.bench.count(AgentEvent::CommandRefused), 0);
  EXPECT_TRUE(a.bench.desk->shown.empty());
}

TEST(SignedCommands, WithoutTheKeyTheAgentTakesPlainTokensAndNoEnvelopes) {
  asio::io_context io;
  SignedAgent a(io, false);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  ASSERT_TRUE(a.listening());
  // No challenge is sent (a console with a key waits for one in vain, until
  // the agent's deadline ends the connection), and an envelope is no command.
  CommandExchange signedTry = a.send([&](auto&) { return signedEnvelope(a.key, "", "127.0.0.1", 2); }, true);
  ASSERT_TRUE(signedTry.connected);
  EXPECT_TRUE(signedTry.challenge.empty());
  EXPECT_TRUE(signedTry.answer.empty());
  ASSERT_TRUE(a.listening());
  drain(io);
  EXPECT_EQ(a.bench.powerOut.str(), "");
  CommandExchange plain = a.send([](auto&) { return std::string(tokReboot); }, true, false);
  ASSERT_TRUE(plain.connected);
  ASSERT_TRUE(a.listening());
  drain(io);
  EXPECT_EQ(a.bench.powerOut.str(), "dry-run: reboot\n");
}

// The agent's log as a program writes it: what the rows see of an agent
// that runs apart.
TEST(SignedCommands, TheAgentLogAsSeen) {
  struct Row {
    const char* name;
    std::string log;
    std::string power;
    std::vector<std::string> messages;
    std::vector<std::string> reports;
  };
  const std::string report = "== Quorvane Pro (style 16) ==\nError in : X\nCommand refused\n==\n";
  const std::vector<Row> rows = {
      {"empty", "", "", {}, {}},
      {"power lines, CR LF", "dry-run: reboot\r\nnoise\r\ndry-run: log-off\r\n",
       "dry-run: reboot\ndry-run: log-off\n", {}, {}},
      {"a message and a report", "== QuorvanePro (style 64) ==\nhello\n==\n" + report, "", {"hello"},
       {"Error in : X\nCommand refused"}},
      {"blocks with CR LF", "== QuorvanePro (style 64) ==\r\nhi\r\n==\r\n", "", {"hi"}, {}},
      {"more style bits", "== T (style 4160) ==\nmodal\n==\n", "", {"modal"}, {}},
      {"a question box is neither", "== T (style 36) ==\nsure?\n==\n", "", {}, {}},
      {"a block still being written", report + "== QuorvanePro (style 64) ==\npart", "", {},
       {"Error in : X\nCommand refused"}},
      {"a power line inside a block is text", "== T (style 64) ==\ndry-run: power-off\n==\n", "",
       {"dry-run: power-off"}, {}},
      {"headers that are no headers", "== T (style x) ==\n== T (style 64\n==\n=== (style 64) ==\n", "", {}, {}},
      {"an empty message", "== T (style 64) ==\n\n==\n", "", {""}, {}},
      {"no line end at all", "dry-run: power-off", "dry-run: power-off\n", {}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const AgentSeen seen = parseAgentLog(r.log);
    EXPECT_EQ(seen.power, r.power);
    EXPECT_EQ(seen.messages, r.messages);
    EXPECT_EQ(seen.reports, r.reports);
  }
}

TEST(SignedCommands, TheSettingValue) {
  auto good = CommandKey::generate();
  const std::string line = good->publicKeyLine();
  const std::string value = line.substr(line.find(':') + 1);
  struct Row {
    const char* name;
    std::string value;
    bool ok;
  };
  const std::vector<Row> rows = {
      {"the printed value", value, true},
      {"blanks around it", " \t" + value + " ", true},
      {"empty", "", false},
      {"not Base64", "not a key!", false},
      {"one character short", value.substr(1), false},
      {"Base64 of a short key", "BAAA", false},
      {"compressed form", "A" + value.substr(1), false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(parseCommandPublicKey(r.value).has_value(), r.ok);
  }
  auto bad = parseClientSettings("ListenPortNumber:1\r\nCommandPublicKey:nonsense\r\n", nullptr);
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->key, "CommandPublicKey");
  EXPECT_EQ(bad.error->line, 2);
  auto read = parseClientSettings(line + "\r\n", nullptr);
  ASSERT_FALSE(read.error);
  EXPECT_EQ(read.settings.commandPublicKey, good->publicKey());
}

}  // namespace
}  // namespace quorvane::agent
