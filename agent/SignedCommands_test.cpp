// An agent holding the console's public command key: only a command signed
// for this connection's challenge and this PC's address is obeyed. Every
// exchange comes from a raw loopback client; power goes to the dry-run
// backend only.
#include <gtest/gtest.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentTesting.h"
#include "common/CommandEnvelope.h"
#include "server/key/CommandKey.h"

namespace quorvane::agent {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::string signedEnvelope(const CommandKey& key, const std::string& challenge, const std::string& address,
                           int code, const std::string& text = {}) {
  CommandEnvelope e;
  e.challenge = challenge;
  e.address = address;
  e.code = code;
  e.text = text;
  const std::string part = *envelopeSignedPart(e);
  return part + *key.sign(part);
}

// One command connection as a console would hold it: connect, read the
// challenge (unless `awaitChallenge` is false: a console without a key sends
// at once), send `reply(challenge)`, optionally half-close, and read until the
// agent ends the connection.
struct Exchange {
  bool connected = false;
  std::string challenge;
  std::string afterChallenge;  // the verdict, if any
};

Exchange exchange(asio::io_context& io, long port, const std::function<std::string(const std::string&)>& reply,
                  bool halfClose, bool awaitChallenge = true) {
  Exchange x;
  asio::ip::tcp::socket s(io);
  bool done = false;
  asio::error_code ec;
  s.async_connect({asio::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)},
                  [&](const asio::error_code& e) {
                    ec = e;
                    done = true;
                  });
  if (!runUntil(io, [&] { return done; }) || ec) return x;
  x.connected = true;
  std::string in;
  bool ended = false;
  std::array<char, 512> buf{};
  std::function<void()> readOn = [&] {
    s.async_read_some(asio::buffer(buf), [&](const asio::error_code& e, std::size_t n) {
      in.append(buf.data(), n);
      if (e) {
        ended = true;
        return;
      }
      readOn();
    });
  };
  readOn();
  if (awaitChallenge) EXPECT_TRUE(runUntil(io, [&] { return ended || in.size() >= kChallengeMessageSize; }));
  if (auto c = parseChallengeMessage(std::string_view(in).substr(0, kChallengeMessageSize))) x.challenge = *c;
  const std::string bytes = reply(x.challenge);
  asio::error_code ignored;
  asio::write(s, asio::buffer(bytes), ignored);
  if (halfClose) s.shutdown(asio::socket_base::shutdown_send, ignored);
  EXPECT_TRUE(runUntil(io, [&] { return ended; }));
  x.afterChallenge = in.size() > kChallengeMessageSize ? in.substr(kChallengeMessageSize) : "";
  s.close(ignored);
  return x;
}

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
  std::vector<std::string> shownTexts(int style) const {
    std::vector<std::string> out;
    for (const auto& m : bench.desk->shown) {
      if (m.style == style) out.push_back(m.text);
    }
    return out;
  }
};

TEST(SignedCommands, OnlyTheRightSignatureForThisChallengeAndAddressIsObeyed) {
  auto other = CommandKey::generate();
  ASSERT_TRUE(other);
  struct Context {
    const CommandKey& key;
    std::string primerChallenge;
    std::string primerEnvelope;
  };
  using Reply = std::function<std::string(const std::string& challenge, const Context& c)>;
  const std::string here = "127.0.0.1";
  const std::size_t codeAt = kEnvelopeMagic.size() + 2 + 1 + kChallengeSize + 1 + here.size();
  struct Row {
    const char* name;
    Reply reply;
    bool halfClose;
    bool obeyed;
  };
  const std::vector<Row> rows = {
      {"signed power-off", [&](auto& ch, auto& c) { return signedEnvelope(c.key, ch, here, 2); }, false, true},
      {"unsigned token", [](auto&, auto&) { return std::string(tokPowerOff); }, false, false},
      {"wrong key", [&](auto& ch, auto&) { return signedEnvelope(*other, ch, here, 2); }, false, false},
      {"altered code",
       [&](auto& ch, auto& c) {
         std::string e = signedEnvelope(c.key, ch, here, 0);
         e[codeAt] = 2;
         return e;
       },
       false, false},
      {"altered text",
       [&](auto& ch, auto& c) {
         std::string e = signedEnvelope(c.key, ch, here, 5, "shutdown at noon");
         e[e.size() - kEnvelopeSignatureSize - 1] = 'X';
         return e;
       },
       false, false},
      {"wrong target address", [&](auto& ch, auto& c) { return signedEnvelope(c.key, ch, "127.0.0.9", 2); }, false,
       false},
      {"replayed envelope", [](auto&, auto& c) { return c.primerEnvelope; }, false, false},
      {"stale challenge", [&](auto&, auto& c) { return signedEnvelope(c.key, c.primerChallenge, here, 2); }, false,
       false},
      {"no challenge", [&](auto&, auto& c) { return signedEnvelope(c.key, "", here, 2); }, false, false},
      {"unknown code 7", [&](auto& ch, auto& c) { return signedEnvelope(c.key, ch, here, 7); }, false, false},
      {"text on a power-off", [&](auto& ch, auto& c) { return signedEnvelope(c.key, ch, here, 2, "x"); }, false,
       false},
      {"truncated envelope, peer closes",
       [&](auto& ch, auto& c) {
         const std::string e = signedEnvelope(c.key, ch, here, 2);
         return e.substr(0, e.size() - 10);
       },
       true, false},
      {"truncated envelope, deadline",
       [&](auto& ch, auto& c) {
         const std::string e = signedEnvelope(c.key, ch, here, 2);
         return e.substr(0, e.size() - 1);
       },
       false, false},
      {"envelope with a byte more",
       [&](auto& ch, auto& c) { return signedEnvelope(c.key, ch, here, 2) + "!"; }, false, false},
      {"garbage", [](auto&, auto&) { return std::string("\x13\x37 GET / HTTP/1.0\r\n\r\n", 22); }, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    asio::io_context io;
    SignedAgent a(io);
    ASSERT_TRUE(a.bench.agent->Form_Load());
    ASSERT_TRUE(a.listening());
    // A signed message first: it must be obeyed, and gives a challenge and an
    // envelope to replay.
    Context ctx{a.key, {}, {}};
    Exchange primer = exchange(io, a.port, [&](const std::string& ch) {
      ctx.primerChallenge = ch;
      ctx.primerEnvelope = signedEnvelope(a.key, ch, here, 5, "primer");
      return ctx.primerEnvelope;
    }, false);
    ASSERT_TRUE(primer.connected);
    EXPECT_EQ(primer.afterChallenge, kVerdictAccepted);
    ASSERT_TRUE(a.listening());

    Exchange x = exchange(io, a.port, [&](const std::string& ch) { return r.reply(ch, ctx); }, r.halfClose);
    ASSERT_TRUE(x.connected);
    EXPECT_EQ(x.challenge.size(), kChallengeSize);
    EXPECT_NE(x.challenge, ctx.primerChallenge);
    ASSERT_TRUE(a.listening());
    drain(io);
    EXPECT_EQ(a.shownTexts(platform::kMbInformation), std::vector<std::string>{"primer"});
    EXPECT_EQ(a.bench.powerOut.str(), r.obeyed ? "dry-run: power-off\n" : "");
    EXPECT_EQ(a.bench.count(AgentEvent::CommandRefused), r.obeyed ? 0 : 1);
    if (r.obeyed) {
      EXPECT_EQ(x.afterChallenge, kVerdictAccepted);
      EXPECT_TRUE(a.bench.desk->shown.size() == 1);
    } else {
      EXPECT_NE(x.afterChallenge, kVerdictAccepted);
      // The refusal is reported once, by the error convention.
      const auto reports = a.shownTexts(platform::kMbCritical);
      ASSERT_EQ(reports.size(), 1u);
      EXPECT_NE(reports[0].find("Error in : QuorvanePro.frmMain.sckListen_OnDataArrival"), std::string::npos);
      EXPECT_NE(reports[0].find("refused"), std::string::npos);
    }
    EXPECT_FALSE(a.bench.agent->ended());
  }
}

TEST(SignedCommands, RefusalsAreReportedOnceUntilASignedCommandIsObeyed) {
  asio::io_context io;
  SignedAgent a(io);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  auto refused = [&] {
    ASSERT_TRUE(exchange(io, a.port, [](auto&) { return std::string(tokQuit); }, false).connected);
    ASSERT_TRUE(a.listening());
  };
  for (int i = 0; i < 5; ++i) refused();
  EXPECT_EQ(a.shownTexts(platform::kMbCritical).size(), 1u);
  EXPECT_EQ(a.bench.count(AgentEvent::CommandRefused), 5);
  ASSERT_TRUE(exchange(io, a.port, [&](auto& ch) { return signedEnvelope(a.key, ch, "127.0.0.1", 4); }, false)
                  .connected);
  ASSERT_TRUE(a.listening());
  refused();
  EXPECT_EQ(a.shownTexts(platform::kMbCritical).size(), 2u);
  EXPECT_EQ(a.bench.powerOut.str(), "dry-run: log-off\n");
  // A signed quit ends the agent.
  ASSERT_TRUE(exchange(io, a.port, [&](auto& ch) { return signedEnvelope(a.key, ch, "127.0.0.1", 1); }, false)
                  .connected);
  EXPECT_TRUE(runUntil(io, [&] { return a.bench.agent->ended(); }));
}

TEST(SignedCommands, AStatusCheckThatSendsNothingIsNoRefusal) {
  asio::io_context io;
  SignedAgent a(io);
  ASSERT_TRUE(a.bench.agent->Form_Load());
  Exchange x = exchange(io, a.port, [](auto&) { return std::string(); }, true);
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
  Exchange signedTry = exchange(io, a.port, [&](auto&) { return signedEnvelope(a.key, "", "127.0.0.1", 2); }, true);
  ASSERT_TRUE(signedTry.connected);
  EXPECT_TRUE(signedTry.challenge.empty());
  EXPECT_TRUE(signedTry.afterChallenge.empty());
  ASSERT_TRUE(a.listening());
  drain(io);
  EXPECT_EQ(a.bench.powerOut.str(), "");
  Exchange plain = exchange(io, a.port, [](auto&) { return std::string(tokReboot); }, true, false);
  ASSERT_TRUE(plain.connected);
  ASSERT_TRUE(a.listening());
  drain(io);
  EXPECT_EQ(a.bench.powerOut.str(), "dry-run: reboot\n");
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
