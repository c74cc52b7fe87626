// AgentSettings: the values of clientSettings.txt and how they are read.
//
// The file is lines of key ":" value. Lines end at CR LF, a lone LF or a
// lone CR; a UTF-8 byte order mark at the start is skipped. A line that is
// empty once its spaces are removed, or whose first character is "#", is
// skipped. Keys and values are taken exactly as written (no trimming; text
// after a second ":" is ignored); keys are compared case-sensitively and
// unknown keys are ignored. Reading stops at the first value that does not
// convert; the caller shows the matching dialog and the agent ends.
//
// `parseClientSettings` is pure: the delay is drawn with the `random` source
// (uniform in [0, 1)) given to it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::agent {

// AcceptCommandsFrom: who may send commands. "any" (any letter case) opens
// the command port to every address; otherwise a comma-separated list of
// dotted IPv4 addresses (blanks around each allowed).
struct CommandSources {
  bool any = false;
  std::vector<std::string> addresses;
};

struct AgentSettings {
  std::string strServerIP;
  std::int32_t lngConnectPort = 0;
  bool blnAllowQuit = false;
  std::string strQuitPassword;
  std::int32_t lngListenPort = 0;
  std::int32_t lngReauditMin = 0;
  std::int32_t lngReauditMax = 0;
  bool blnShowSystemTray = false;
  // The interval drawn for tmrAuditDelay, in milliseconds; nullopt when
  // ReauditDelayTime held no range (no interval was set).
  std::optional<std::int64_t> auditDelayMs;
  // nullopt when the file has no AcceptCommandsFrom: then only the address of
  // ServerIP may command the agent, or anyone when ServerIP is empty too.
  std::optional<CommandSources> acceptCommandsFrom;
  // CommandPublicKey: the console's public command key (the 65-byte point).
  // When set, only commands signed with the console's key are obeyed.
  std::optional<std::string> commandPublicKey;
  // ReauditIntervalHours: the agent also audits (and uploads) this many hours
  // after its last audit; 0 (the default) never. A negative value is refused.
  std::int32_t reauditIntervalHours = 0;
};

// Parses a CommandPublicKey value (Base64 of the uncompressed P-256 point,
// blanks around it ignored); nullopt for anything else.
std::optional<std::string> parseCommandPublicKey(std::string_view value);

// Parses an AcceptCommandsFrom value; nullopt when an entry is not a dotted
// IPv4 address (nor "any") or the list names nothing.
std::optional<CommandSources> parseCommandSources(std::string_view value);

// Why reading stopped.
struct SettingsError {
  long number = 0;            // 13 type mismatch, 9 subscript, 6 overflow, 380 ...
  std::string description;
  long line = 0;              // 1-based line of the settings file
  std::string key;
  std::string value;          // the value text as read
  std::string expectedType;   // strExpectedType: "String", "Integer", ...
  bool typeMismatch() const { return number == 13; }
};

struct SettingsResult {
  AgentSettings settings;
  std::optional<SettingsError> error;
};

SettingsResult parseClientSettings(std::string_view text, const std::function<double()>& random);

// Conversions with the rules of the settings file. nullopt + error number
// (13 type mismatch, 6 overflow) when the text does not convert.
struct Converted {
  std::optional<std::int32_t> value;
  long error = 0;
};
// Decimal number with optional blanks around it, an optional sign, and an
// optional fraction (rounded half to even), within 32 bits.
Converted toInteger(std::string_view text);
// "True"/"False" in any letter case, or a number (zero is false).
std::optional<bool> toBoolean(std::string_view text, long* error);

// The dialogs of a failed read.
inline constexpr const char* kCriticalTitle = "Quorvane Pro - Critical Error Message";
std::string criticalSettingsText(const SettingsError& e);
std::string otherSettingsErrorText(long number, std::string_view description, long line);

}  // namespace quorvane::agent
