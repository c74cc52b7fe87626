// CommandTokens: the three-byte command tokens the server sends to agents,
// the command codes of the console's request buttons and their captions.
//
// The tokens are the wire of the agent exchange and must match the agent's
// byte for byte. Code 7 ("Check Client Status") sends nothing; code 5 is the
// message token followed by the message text (8-bit, one byte per char).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ExchangeBytes.h"

namespace quorvane {

enum class CommandCode : int {
  ReAudit = 0,
  Quit = 1,
  PowerOff = 2,
  Reboot = 3,
  LogOff = 4,
  Message = 5,
  CheckStatus = 7,
};

// The seven tokens, built once at start-up.
struct CommandTokens {
  std::string tokAudit;
  std::string tokQuit;
  std::string tokPowerOff;
  std::string tokReboot;
  std::string tokLogOff;
  std::string tokMessage;
  std::string tokHangUp;

  static CommandTokens build();

  // The bytes sent on connect for `code` (empty for CheckStatus).
  std::string bytesFor(CommandCode code, std::string_view messageText) const;
};

// The six-byte end marker of an upload.
inline constexpr std::string_view kEndMarker = EndMarker;

inline constexpr std::string_view kSendMessageCaption = "Send Message";

// The request buttons, in the order the console shows them.
struct RequestButton {
  std::string_view caption;
  CommandCode code;
};
const std::vector<RequestButton>& requestButtons();

// Whether the console asks before sending `code`: shutting down, restarting
// or logging off the PCs and closing their agents cannot be taken back, and
// one misclick would reach every ticked PC. Audits, status checks and
// messages go out at once, and so does every code in the scripted sender.
bool asksBeforeSending(CommandCode code);

// The question before such a command: "<caption> on <computers> computer(s)?"
std::string sendQuestion(CommandCode code, int computers);

// The caption of `code`'s button ("Send Message" for Message).
std::string_view commandCaption(CommandCode code);

// The code of a request button's caption; "Send Message" maps to Message.
std::optional<CommandCode> commandCodeForCaption(std::string_view caption);

}  // namespace quorvane
