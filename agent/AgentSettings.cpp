#include "agent/AgentSettings.h"

#include <cmath>
#include <limits>
#include <vector>

#include "common/clsB64.h"
#include "platform/CommandSignature.h"
#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Lines end at CR LF, at a lone LF or at a lone CR (files written on
// Windows, Linux and old Macs read alike). A UTF-8 byte order mark that an
// editor put before the first line is not part of it.
std::vector<std::string_view> splitLines(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

Converted toInteger(std::string_view text) {
  std::size_t i = 0, n = text.size();
  while (i < n && isBlank(text[i])) ++i;
  while (n > i && isBlank(text[n - 1])) --n;
  std::string_view t = text.substr(i, n - i);
  if (t.empty()) return {std::nullopt, 13};
  bool negative = false;
  std::size_t p = 0;
  if (t[p] == '+' || t[p] == '-') {
    negative = t[p] == '-';
    ++p;
  }
  long double whole = 0;
  bool digits = false;
  while (p < t.size() && t[p] >= '0' && t[p] <= '9') {
    whole = whole * 10 + (t[p] - '0');
    digits = true;
    ++p;
  }
  long double fraction = 0, scale = 1;
  if (p < t.size() && t[p] == '.') {
    ++p;
    while (p < t.size() && t[p] >= '0' && t[p] <= '9') {
      scale /= 10;
      fraction += (t[p] - '0') * scale;
      digits = true;
      ++p;
    }
  }
  if (!digits || p != t.size()) return {std::nullopt, 13};
  // Round half to even.
  long double r = whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) r += 1;
  if (negative) r = -r;
  if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max()) {
    return {std::nullopt, 6};
  }
  return {static_cast<std::int32_t>(r), 0};
}

std::optional<bool> toBoolean(std::string_view text, long* error) {
  const std::string l = lower(text);
  if (l == "true") return true;
  if (l == "false") return false;
  Converted c = toInteger(text);
  if (c.value) return *c.value != 0;
  if (c.error == 6) return true;  // a number, just a large one: not zero
  if (error) *error = c.error;
  return std::nullopt;
}

std::optional<std::string> parseCommandPublicKey(std::string_view value) {
  const auto first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
  auto key = clsB64().DecodeString(value);
  if (!key || key->size() != platform::kCommandPublicKeySize || (*key)[0] != '\x04') return std::nullopt;
  return std::move(*key);
}

std::optional<CommandSources> parseCommandSources(std::string_view value) {
  CommandSources sources;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    std::string_view entry = value.substr(start, comma - start);
    while (!entry.empty() && isBlank(entry.front())) entry.remove_prefix(1);
    while (!entry.empty() && isBlank(entry.back())) entry.remove_suffix(1);
    start = comma + 1;
    if (entry.empty()) continue;
    if (lower(entry) == "any") {
      sources.any = true;
      continue;
    }
    // Four decimal parts of 0 to 255, written in the dotted form.
    // Kept in the canonical form a peer address is compared in (no leading zeros).
    int parts = 0;
    std::size_t p = 0;
    bool good = true;
    std::string canonical;
    while (good && p <= entry.size()) {
      std::size_t q = p;
      int n = 0;
      while (q < entry.size() && entry[q] >= '0' && entry[q] <= '9' && q - p < 3) n = n * 10 + (entry[q++] - '0');
      good = q > p && n <= 255;
      canonical += (parts ? "." : "") + std::to_string(n);
      ++parts;
      if (q == entry.size()) break;
      good = good && entry[q] == '.';
      p = q + 1;
    }
    if (!good || parts != 4) return std::nullopt;
    sources.addresses.push_back(std::move(canonical));
  }
  if (!sources.any && sources.addresses.empty()) return std::nullopt;
  return sources;
}

namespace {

// The type a key's value must have; nullptr for a key of another program.
const char* settingType(std::string_view key) {
  if (key == "ServerIP" || key == "QuitPassword") return "String";
  if (key == "ConnectPortNumber" || key == "ListenPortNumber" || key == "ReauditIntervalHours") return "Integer";
  if (key == "AllowQuit" || key == "ShowSystemTray") return "Boolean";
  if (key == "ReauditDelayTime") return "Integer-Integer";
  if (key == "AcceptCommandsFrom") return "Address list";
  if (key == "CommandPublicKey") return "Public key";
  return nullptr;
}

struct SettingFailure {
  long number;
  std::string description;
};
using Failure = std::optional<SettingFailure>;

Failure readInteger(std::string_view text, std::int32_t& out) {
  Converted c = toInteger(text);
  if (!c.value) return SettingFailure{c.error, c.error == kErrOverflow ? "Overflow" : "Type mismatch"};
  out = *c.value;
  return std::nullopt;
}

// "min-max" seconds: the delay is drawn between them; no dash means none.
Failure applyReauditDelay(std::string_view value, AgentSettings& s, const std::function<double()>& random) {
  const std::size_t dash = value.find('-');
  if (dash == std::string_view::npos) {
    s.lngReauditMin = -1;
    s.lngReauditMax = -1;
    return std::nullopt;
  }
  if (auto f = readInteger(value.substr(0, dash), s.lngReauditMin)) return f;
  if (auto f = readInteger(value.substr(dash + 1), s.lngReauditMax)) return f;
  if (s.lngReauditMin != -1) {
    const double r = random ? random() : 0.0;
    const double span = static_cast<double>(s.lngReauditMax) - s.lngReauditMin + 1;
    const auto seconds = static_cast<std::int64_t>(std::floor(r * span + s.lngReauditMin));
    if (seconds < 0) return SettingFailure{kErrInvalidPropertyValue, "Invalid property value"};
    s.auditDelayMs = seconds * 1000;
  }
  return std::nullopt;
}

Failure applySetting(const std::string& key, const std::string& value, AgentSettings& s,
                     const std::function<double()>& random) {
  const SettingFailure mismatch{kErrTypeMismatch, "Type mismatch"};
  if (key == "ServerIP") {
    s.strServerIP = value;
  } else if (key == "QuitPassword") {
    s.strQuitPassword = value;
  } else if (key == "AcceptCommandsFrom") {
    s.acceptCommandsFrom = parseCommandSources(value);
    if (!s.acceptCommandsFrom) return mismatch;
  } else if (key == "CommandPublicKey") {
    s.commandPublicKey = parseCommandPublicKey(value);
    if (!s.commandPublicKey) return mismatch;
  } else if (key == "ConnectPortNumber") {
    return readInteger(value, s.lngConnectPort);
  } else if (key == "ListenPortNumber") {
    return readInteger(value, s.lngListenPort);
  } else if (key == "ReauditIntervalHours") {
    if (auto f = readInteger(value, s.reauditIntervalHours)) return f;
    if (s.reauditIntervalHours < 0) return SettingFailure{kErrInvalidPropertyValue, "Invalid property value"};
  } else if (key == "AllowQuit" || key == "ShowSystemTray") {
    long err = kErrTypeMismatch;
    auto b = toBoolean(value, &err);
    if (!b) return SettingFailure{err, "Type mismatch"};
    (key == "AllowQuit" ? s.blnAllowQuit : s.blnShowSystemTray) = *b;
  } else {  // ReauditDelayTime
    return applyReauditDelay(value, s, random);
  }
  return std::nullopt;
}

}  // namespace

SettingsResult parseClientSettings(std::string_view text, const std::function<double()>& random) {
  SettingsResult result;
  long lineNo = 0;
  for (std::string_view line : splitLines(text)) {
    ++lineNo;
    if (line.find_first_not_of(' ') == std::string_view::npos) continue;
    if (line.front() == '#') continue;

    const std::size_t colon = line.find(':');
    const std::string key(line.substr(0, colon));
    const char* type = settingType(key);
    if (type == nullptr) continue;  // not a key of this program
    std::optional<std::string> value;
    if (colon != std::string_view::npos) {
      std::string_view rest = line.substr(colon + 1);
      value = std::string(rest.substr(0, rest.find(':')));
    }

    Failure failure = value ? applySetting(key, *value, result.settings, random)
                            : SettingFailure{kErrSubscript, "Subscript out of range"};
    if (failure) {
      SettingsError e;
      e.number = failure->number;
      e.description = std::move(failure->description);
      e.line = lineNo;
      e.key = key;
      e.value = value.value_or("");
      e.expectedType = type;
      result.error = std::move(e);
      return result;
    }
  }
  return result;
}

std::string criticalSettingsText(const SettingsError& e) {
  std::string s = "Error while reading in settings file...\r\n\r\n";
  s += "Error Number : \t" + std::to_string(e.number) + "\r\n";
  s += "Error Desc. : \t" + e.description + "\r\n\r\n";
  s += "Possible Fault : \t" + e.value + "\r\n";
  s += "Error On Line  : \t" + e.key + ":" + e.value + "\r\n";
  s += "Error On Type  : \tString\r\n";
  s += "Expected Type  : \t" + e.expectedType;
  return s;
}

std::string otherSettingsErrorText(long number, std::string_view description, long line) {
  std::string s = std::to_string(number) + "\r\n";
  s.append(description);
  s += "\r\nError line : " + std::to_string(line);
  return s;
}

}  // namespace quorvane::agent
