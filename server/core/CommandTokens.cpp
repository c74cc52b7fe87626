#include "server/core/CommandTokens.h"

namespace quorvane {
namespace {

std::string token(unsigned char a, unsigned char b, unsigned char c) {
  return std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
}

}  // namespace

CommandTokens CommandTokens::build() {
  CommandTokens t;
  t.tokAudit = token(1, 2, 3);
  t.tokQuit = token(3, 1, 2);
  t.tokPowerOff = token(1, 3, 2);
  t.tokReboot = token(2, 1, 3);
  t.tokLogOff = token(2, 3, 1);
  t.tokMessage = token(4, 1, 1);
  t.tokHangUp = token(4, 0, 1);
  return t;
}

std::string CommandTokens::bytesFor(CommandCode code, std::string_view messageText) const {
  switch (code) {
    case CommandCode::ReAudit: return tokAudit;
    case CommandCode::Quit: return tokQuit;
    case CommandCode::PowerOff: return tokPowerOff;
    case CommandCode::Reboot: return tokReboot;
    case CommandCode::LogOff: return tokLogOff;
    case CommandCode::Message: return tokMessage + std::string(messageText);
    case CommandCode::CheckStatus: return {};
  }
  return {};
}

const std::vector<RequestButton>& requestButtons() {
  static const std::vector<RequestButton> kButtons = {
      {"Request Re-Audit", CommandCode::ReAudit},   {"Check Client Status", CommandCode::CheckStatus},
      {"Reboot Windows", CommandCode::Reboot},      {"Log-Off Windows", CommandCode::LogOff},
      {"Shutdown Windows", CommandCode::PowerOff},  {"Close Quorvane", CommandCode::Quit},
  };
  return kButtons;
}

std::optional<CommandCode> commandCodeForCaption(std::string_view caption) {
  if (caption == kSendMessageCaption) return CommandCode::Message;
  for (const RequestButton& b : requestButtons()) {
    if (b.caption == caption) return b.code;
  }
  return std::nullopt;
}

}  // namespace quorvane
