#include "agent/SignedCommandRows.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>

#include "agent/AgentProtocol.h"
#include "agent/LoopTesting.h"
#include "common/CommandEnvelope.h"
#include "platform/Desktop.h"

namespace quorvane::agent::testing {

namespace {

constexpr int kCodePowerOff = 2;
constexpr int kCodeMessage = 5;
// The text of the signed message sent between rows.
constexpr std::string_view kBetweenRows = "(between rows)";
constexpr std::string_view kDryRun = "dry-run: ";
constexpr std::string_view kRefusalProcedure = "Error in : QuorvanePro.frmMain.sckListen_OnDataArrival";

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

// "== <title> (style <n>) ==": the style, or -1 for any other line.
int blockStyle(const std::string& line) {
  static constexpr std::string_view open = " (style ";
  if (line.size() < 6 || line.compare(0, 3, "== ") != 0 || line.compare(line.size() - 3, 3, " ==") != 0) return -1;
  const std::size_t at = line.rfind(open);
  if (at == std::string::npos) return -1;
  const std::string number = line.substr(at + open.size(), line.size() - 3 - at - open.size());
  if (number.size() < 2 || number.back() != ')') return -1;
  try {
    return std::stoi(number.substr(0, number.size() - 1));
  } catch (const std::exception&) {
    return -1;
  }
}

std::string printable(std::string_view bytes) {
  std::ostringstream out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out << c;
    } else {
      out << "\\x" << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
    }
  }
  return out.str();
}

template <class T>
std::vector<T> after(const std::vector<T>& now, const std::vector<T>& before) {
  if (now.size() < before.size()) return now;
  return std::vector<T>(now.begin() + static_cast<std::ptrdiff_t>(before.size()), now.end());
}

std::string after(const std::string& now, const std::string& before) {
  return now.compare(0, before.size(), before) == 0 ? now.substr(before.size()) : now;
}

// Connects, again while the agent is between two connections (not
// listening), for up to five seconds.
bool connectWhenListening(asio::io_context& io, asio::ip::tcp::socket& s, const std::string& host, long port) {
  const asio::ip::tcp::endpoint to(asio::ip::make_address_v4(host), static_cast<unsigned short>(port));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    bool done = false;
    asio::error_code ec;
    s.async_connect(to, [&](const asio::error_code& e) {
      ec = e;
      done = true;
    });
    if (!runUntil(io, [&] { return done; }, std::chrono::seconds(10))) return false;
    if (!ec) return true;
    asio::error_code ignored;
    s.close(ignored);
    if (std::chrono::steady_clock::now() >= end) return false;
    const auto pause = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
    runUntil(io, [&] { return std::chrono::steady_clock::now() >= pause; });
  }
}

}  // namespace

AgentSeen parseAgentLog(std::string_view log) {
  AgentSeen seen;
  const std::vector<std::string> lines = splitLines(log);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].compare(0, kDryRun.size(), kDryRun) == 0) {
      seen.power += lines[i] + "\n";
      continue;
    }
    const int style = blockStyle(lines[i]);
    if (style < 0) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && lines[end] != "==") ++end;
    if (end == lines.size()) break;  // a block still being written
    std::string text;
    for (std::size_t j = i + 1; j < end; ++j) text += (j > i + 1 ? "\n" : "") + lines[j];
    if ((style & 0x70) == platform::kMbCritical) seen.reports.push_back(text);
    if ((style & 0x70) == platform::kMbInformation) seen.messages.push_back(text);
    i = end;
  }
  return seen;
}

AgentSeen AgentLogWatch::seen() {
  std::ifstream in(log_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return parseAgentLog(text.str());
}

std::string signedEnvelope(const CommandKey& key, const std::string& challenge, const std::string& address,
                           int code, const std::string& text) {
  CommandEnvelope e;
  e.challenge = challenge;
  e.address = address;
  e.code = code;
  e.text = text;
  const std::string part = *envelopeSignedPart(e);
  auto signature = key.sign(part);
  EXPECT_TRUE(signature) << signature.status().description();
  return part + (signature ? *signature : std::string());
}

CommandExchange commandExchange(asio::io_context& io, const std::string& host, long port, const ReplyFn& reply,
                                bool halfClose, bool awaitChallenge) {
  CommandExchange x;
  asio::ip::tcp::socket s(io);
  if (!connectWhenListening(io, s, host, port)) return x;
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
  if (awaitChallenge) {
    EXPECT_TRUE(runUntil(io, [&] { return ended || in.size() >= kChallengeMessageSize; }))
        << "no challenge and no close";
  }
  const std::string_view head = std::string_view(in).substr(0, kChallengeMessageSize);
  if (auto c = parseChallengeMessage(head)) x.challenge = *c;
  const std::string bytes = reply(x.challenge);
  asio::error_code ignored;
  asio::write(s, asio::buffer(bytes), ignored);
  if (halfClose) s.shutdown(asio::socket_base::shutdown_send, ignored);
  EXPECT_TRUE(runUntil(io, [&] { return ended; })) << "the agent did not end the connection";
  x.answer = in.substr(x.challenge.empty() ? 0 : kChallengeMessageSize);
  s.close(ignored);
  runUntil(io, [&] { return ended; });  // the cancelled read's handler, before its state goes
  return x;
}

std::vector<SignedCommandRow> signedCommandRows() {
  // Where the command code sits in an envelope to this address.
  auto codeAt = [](const RowContext& c) {
    return kEnvelopeMagic.size() + 2 + 1 + kChallengeSize + 1 + c.here.size();
  };
  auto powerOff = [](const std::string& ch, const RowContext& c) {
    return signedEnvelope(c.key, ch, c.here, kCodePowerOff);
  };
  auto cut = [](std::size_t by) {
    return [by](const std::string& ch, const RowContext& c) {
      const std::string e = signedEnvelope(c.key, ch, c.here, kCodePowerOff);
      return e.substr(0, e.size() - by);
    };
  };
  const std::string_view refused = kVerdictRefused;
  return {
      {"signed message",
       [](auto& ch, auto& c) { return signedEnvelope(c.key, ch, c.here, kCodeMessage, "from the console"); },
       false, true, kVerdictAccepted, "", {"from the console"}},
      {"signed power-off", powerOff, false, true, kVerdictAccepted, "dry-run: power-off\n", {}},
      {"unsigned token", [](auto&, auto&) { return std::string(tokPowerOff); }, false, false, refused, "", {}},
      {"wrong key", [](auto& ch, auto& c) { return signedEnvelope(c.other, ch, c.here, kCodePowerOff); }, false,
       false, refused, "", {}},
      {"altered code",
       [codeAt](auto& ch, auto& c) {
         std::string e = signedEnvelope(c.key, ch, c.here, 0);
         e[codeAt(c)] = static_cast<char>(kCodePowerOff);
         return e;
       },
       false, false, refused, "", {}},
      {"altered text",
       [](auto& ch, auto& c) {
         std::string e = signedEnvelope(c.key, ch, c.here, kCodeMessage, "shutdown at noon");
         e[e.size() - kEnvelopeSignatureSize - 1] = 'X';
         return e;
       },
       false, false, refused, "", {}},
      {"wrong target address",
       [](auto& ch, auto& c) {
         return signedEnvelope(c.key, ch, c.here == "127.0.0.9" ? "127.0.0.8" : "127.0.0.9", kCodePowerOff);
       },
       false, false, refused, "", {}},
      {"replayed envelope", [](auto&, auto& c) { return c.capturedEnvelope; }, false, false, refused, "", {}},
      {"stale challenge",
       [](auto&, auto& c) { return signedEnvelope(c.key, c.capturedChallenge, c.here, kCodePowerOff); }, false,
       false, refused, "", {}},
      {"no challenge", [](auto&, auto& c) { return signedEnvelope(c.key, "", c.here, kCodePowerOff); }, false,
       false, refused, "", {}},
      {"unknown code 7", [](auto& ch, auto& c) { return signedEnvelope(c.key, ch, c.here, 7); }, false, false,
       refused, "", {}},
      {"text on a power-off",
       [](auto& ch, auto& c) { return signedEnvelope(c.key, ch, c.here, kCodePowerOff, "x"); }, false, false,
       refused, "", {}},
      // Cut short, the agent closes without a verdict.
      {"truncated envelope, peer closes", cut(10), true, false, "", "", {}},
      {"truncated envelope, deadline", cut(1), false, false, "", "", {}},
      {"envelope with a byte more", [powerOff](auto& ch, auto& c) { return powerOff(ch, c) + "!"; }, false, false,
       refused, "", {}},
      {"garbage", [](auto&, auto&) { return std::string("\x13\x37 GET / HTTP/1.0\r\n\r\n", 22); }, false, false,
       refused, "", {}},
  };
}

namespace {

// The player's state over one run: the keys, the captured command, and every
// challenge seen (each must be new).
struct Player {
  asio::io_context& io;
  std::string host;
  long port;
  RowContext context;
  AgentWatch& watch;
  std::set<std::string> challenges;

  // A connection the agent ends before sending a byte was dropped unseen (it
  // came while the agent still served another one, such as a probe whether
  // it listens): it is made again, for up to five seconds.
  CommandExchange send(const std::function<std::string(const std::string&)>& reply, bool halfClose) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    CommandExchange x;
    do {
      x = commandExchange(io, host, port, reply, halfClose);
    } while (x.connected && x.challenge.empty() && x.answer.empty() && std::chrono::steady_clock::now() < end);
    EXPECT_TRUE(x.connected) << "the agent does not listen";
    EXPECT_EQ(x.challenge.size(), kChallengeSize) << "no challenge";
    if (!x.challenge.empty()) {
      EXPECT_TRUE(challenges.insert(x.challenge).second) << "a challenge came twice";
    }
    return x;
  }
  // The signed message between rows: accepted, and no effect the rows see.
  bool betweenRows() {
    const CommandExchange x = send(
        [&](const std::string& ch) {
          return signedEnvelope(context.key, ch, host, kCodeMessage, std::string(kBetweenRows));
        },
        false);
    return x.connected && x.answer == kVerdictAccepted;
  }
  AgentSeen seen() {
    AgentSeen s = watch.seen();
    std::erase(s.messages, std::string(kBetweenRows));
    return s;
  }
  void play(const SignedCommandRow& row);
  void refusalsReportedOnce();
};

void Player::play(const SignedCommandRow& row) {
  SCOPED_TRACE(row.name);
  const AgentSeen before = seen();
  std::string sent;
  const CommandExchange x = send(
      [&](const std::string& ch) {
        sent = row.reply(ch, context);
        return sent;
      },
      row.halfClose);
  ASSERT_TRUE(x.connected);
  EXPECT_EQ(printable(x.answer), printable(row.answer));
  if (row.obeyed) {
    context.capturedChallenge = x.challenge;
    context.capturedEnvelope = sent;
  }
  ASSERT_TRUE(betweenRows()) << "the agent does not listen again or does not obey after this row";
  const AgentSeen now = seen();
  EXPECT_EQ(after(now.power, before.power), row.power);
  EXPECT_EQ(after(now.messages, before.messages), row.messages);
  const std::vector<std::string> reports = after(now.reports, before.reports);
  if (row.obeyed) {
    EXPECT_TRUE(reports.empty()) << reports.front();
    return;
  }
  // The refusal is reported once, by the error convention.
  EXPECT_EQ(reports.size(), 1u);
  for (const std::string& report : reports) {
    EXPECT_NE(report.find(kRefusalProcedure), std::string::npos) << report;
    EXPECT_NE(report.find("refused"), std::string::npos) << report;
  }
}

// Refusals in a row are reported once, until a signed command is obeyed.
void Player::refusalsReportedOnce() {
  SCOPED_TRACE("refusals in a row");
  const AgentSeen before = seen();
  for (int i = 0; i < 3; ++i) {
    const CommandExchange x = send([](const std::string&) { return std::string(tokQuit); }, false);
    EXPECT_EQ(printable(x.answer), printable(kVerdictRefused));
  }
  ASSERT_TRUE(betweenRows());
  const AgentSeen now = seen();
  EXPECT_EQ(after(now.reports, before.reports).size(), 1u);
  EXPECT_EQ(after(now.power, before.power), "");
  EXPECT_TRUE(after(now.messages, before.messages).empty());
}

}  // namespace

void playSignedCommandRows(asio::io_context& io, const std::string& host, long port, const CommandKey& key,
                           AgentWatch& watch) {
  auto other = CommandKey::generate();
  ASSERT_TRUE(other) << other.status().description();
  Player p{io, host, port, RowContext{key, *other, host, {}, {}}, watch, {}};
  ASSERT_TRUE(p.betweenRows()) << "the agent does not obey a signed command";
  for (const SignedCommandRow& row : signedCommandRows()) {
    p.play(row);
    if (::testing::Test::HasFatalFailure()) return;
  }
  p.refusalsReportedOnce();
}

}  // namespace quorvane::agent::testing
