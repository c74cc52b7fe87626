#include "server/core/CommandTokens.h"

#include "common/ExchangeBytes.h"

namespace quorvane {
CommandTokens CommandTokens::build() {
  CommandTokens t;
  t.tokAudit = std::string(quorvane::tokAudit);
  t.tokQuit = std::string(quorvane::tokQuit);
  t.tokPowerOff = std::string(quorvane::tokPowerOff);
  t.tokReboot = std::string(quorvane::tokReboot);
  t.tokLogOff = std::string(quorvane::tokLogOff);
  t.tokMessage = std::string(quorvane::tokMessage);
  t.tokHangUp = std::string(quorvane::tokHangUp);
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

bool asksBeforeSending(CommandCode code) {
  switch (code) {
    case CommandCode::Quit:
    case CommandCode::PowerOff:
    case CommandCode::Reboot:
    case CommandCode::LogOff: return true;
    case CommandCode::ReAudit:
    case CommandCode::Message:
    case CommandCode::CheckStatus: return false;
  }
  return true;
}

std::string_view commandCaption(CommandCode code) {
  if (code == CommandCode::Message) return kSendMessageCaption;
  for (const RequestButton& b : requestButtons()) {
    if (b.code == code) return b.caption;
  }
  return {};
}

std::string sendQuestion(CommandCode code, int computers) {
  return std::string(commandCaption(code)) + " on " + std::to_string(computers) + " computer(s)?";
}

std::optional<CommandCode> commandCodeForCaption(std::string_view caption) {
  if (caption == kSendMessageCaption) return CommandCode::Message;
  for (const RequestButton& b : requestButtons()) {
    if (b.caption == caption) return b.code;
  }
  return std::nullopt;
}

}  // namespace quorvane
