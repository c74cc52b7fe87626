// SignedCommandRows: the genuine and forged commands an agent holding the
// console's public command key is put to, as one table of named rows, and
// the player that runs them back to back over loopback against one
// listening agent. The agent may run in the test's own process
// (signedcommands_test) or be a program reached by address and port and
// watched through its log (signedcommandrows_test: QuorvanePro on Linux,
// QuorvanePro.exe under Wine).
//
// Before the first row and after every row the player sends a signed
// message, which must be accepted: it shows that the agent listens again and
// obeys, and it makes the next refusal reportable again (its message box is
// left out of what the rows see). The agent serves one command connection at
// a time and finishes a connection's effects (power action, message box,
// refusal report) before it listens again, so once that message is accepted
// everything the row caused is visible.
//
// Power goes to the dry-run backend: a row that is wrongly obeyed shows as a
// "dry-run: ..." line, a message box, or a missing refusal report.
#pragma once

#include <asio.hpp>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/key/CommandKey.h"

namespace quorvane::agent::testing {

// What an agent has done so far, as seen from outside.
struct AgentSeen {
  std::string power;                  // the dry-run power trace ("dry-run: reboot\n" ...)
  std::vector<std::string> messages;  // texts of information message boxes
  std::vector<std::string> reports;   // texts of critical message boxes (error reports)
};

class AgentWatch {
 public:
  virtual ~AgentWatch() = default;
  virtual AgentSeen seen() = 0;
};

// The same from the agent's log: its standard output and standard error in
// one file (dry-run lines and message box blocks; CR before LF ignored).
AgentSeen parseAgentLog(std::string_view log);

class AgentLogWatch final : public AgentWatch {
 public:
  explicit AgentLogWatch(std::filesystem::path log) : log_(std::move(log)) {}
  AgentSeen seen() override;

 private:
  std::filesystem::path log_;
};

// The envelope a console holding `key` sends for `code` (and `text`).
std::string signedEnvelope(const CommandKey& key, const std::string& challenge, const std::string& address,
                           int code, const std::string& text = {});

// One command connection as a console holds it: connect (again while the
// agent is not listening yet, for a few seconds), read the challenge (unless
// `awaitChallenge` is false: a console without a key sends at once), send
// `reply(challenge)`, optionally half-close, and read until the agent ends
// the connection.
struct CommandExchange {
  bool connected = false;
  std::string challenge;  // empty when the agent sent none
  std::string answer;     // what followed the challenge: a verdict, or nothing
};
using ReplyFn = std::function<std::string(const std::string& challenge)>;
CommandExchange commandExchange(asio::io_context& io, const std::string& host, long port, const ReplyFn& reply,
                                bool halfClose, bool awaitChallenge = true);

// What a row's reply may use besides its own challenge.
struct RowContext {
  const CommandKey& key;    // the console's key, which the agent holds
  const CommandKey& other;  // another console's key
  std::string here;         // the agent's address, as the console reaches it
  // The challenge and envelope of the last row that was obeyed (a captured
  // command).
  std::string capturedChallenge;
  std::string capturedEnvelope;
};

struct SignedCommandRow {
  const char* name;
  std::function<std::string(const std::string& challenge, const RowContext& c)> reply;
  bool halfClose = false;
  bool obeyed = false;
  std::string_view answer;            // what the agent sends after the challenge
  std::string power;                  // the power trace the row adds
  std::vector<std::string> messages;  // the messages the row shows
};

// The rows, in the order they are played (a row that replays uses what an
// earlier one had obeyed).
std::vector<SignedCommandRow> signedCommandRows();

// Plays every row against the agent listening on host:port with `key`'s
// public half (gtest expectations; the row's name in every failure).
void playSignedCommandRows(asio::io_context& io, const std::string& host, long port, const CommandKey& key,
                           AgentWatch& watch);

}  // namespace quorvane::agent::testing
