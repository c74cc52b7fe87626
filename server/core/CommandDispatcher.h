// CommandDispatcher: the outgoing command connections to agents (the
// sckConnect and tmrTimeout arrays of the console).
//
// cmdDo(code) walks the client list first row to last; every ticked row gets
// "Connecting...", its own socket and its own 5000 ms timer; then all are
// connected in parallel to the row's address on the ListenPortNumber of the
// client's latest audit. On connect the code's bytes are sent ("Connected"),
// or for "Check Client Status" nothing is sent and the connection is dropped
// ("Client Running"). When the bytes are sent the connection is closed
// ("Request Sent"). A connection that is not made (or not sent) within the
// time-out ends "Timed out..."; a refused connection waits for its timer.
// Addresses are never looked up by name: a row whose address is not dotted
// IPv4, or whose port is outside 1..65535, simply times out.
// Rows are found by their address, so re-sorting the list meanwhile is safe.
//
// With a command key (setCommandKey) every command but "Check Client Status"
// is signed: on connect the console waits for the agent's challenge, answers
// with the signed envelope (common/CommandEnvelope.h) naming the row's
// address, and waits for the agent's verdict. Accepted: the connection is
// closed ("Request Sent"). Refused, or closed by the agent without a verdict:
// "Refused by client". An agent without the key sends no challenge, so the
// command ends "Timed out..." and nothing is sent to it.
//
// The result hook (setResultHook) hears of every command once, when its row
// has its final status: the time cmdDo sent it, the address, the caption and
// that status.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "server/core/AuditIndex.h"
#include "server/core/CommandTokens.h"
#include "server/key/CommandKey.h"

class QTcpSocket;
class QTimer;

namespace quorvane {

class ServerState;

inline constexpr int kCommandTimeoutMs = 5000;

using CommandResultHook = std::function<void(const CommandLogEntry&)>;

class CommandDispatcher : public QObject {
  Q_OBJECT

 public:
  CommandDispatcher(ServerState& state, CommandTokens tokens, int timeoutMs = kCommandTimeoutMs,
                    QObject* parent = nullptr);
  ~CommandDispatcher() override;
  CommandDispatcher(const CommandDispatcher&) = delete;
  CommandDispatcher& operator=(const CommandDispatcher&) = delete;

  // The text of the last confirmed broadcast message (8-bit), sent by code 5.
  void setMessageText(std::string text) { messageText_ = std::move(text); }
  const std::string& messageText() const { return messageText_; }

  // Signs every command from now on.
  void setCommandKey(CommandKey key) { key_ = std::move(key); }
  bool signs() const { return key_.has_value(); }

  void setResultHook(CommandResultHook hook) { resultHook_ = std::move(hook); }

  // Contacts every ticked row; returns how many.
  int cmdDo(CommandCode code);
  int pending() const { return static_cast<int>(outgoing_.size()); }

 signals:
  // The last open command connection has ended.
  void allSettled();

 private:
  struct Outgoing;

  void onConnected(int element);
  void onBytesWritten(int element);
  void onTimeout(int element);
  void onSignedReply(int element);
  void finish(int element, bool graceful, std::string_view status);
  bool signedCommand(CommandCode code) const { return key_ && code != CommandCode::CheckStatus; }
  void destroy(int element, bool graceful);

  ServerState& state_;
  CommandTokens tokens_;
  int timeoutMs_;
  std::string messageText_;
  std::optional<CommandKey> key_;
  CommandResultHook resultHook_;
  int nextElement_ = 1;
  std::map<int, std::unique_ptr<Outgoing>> outgoing_;
};

}  // namespace quorvane
