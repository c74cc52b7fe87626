// The agent's hostile-input entry: clientSettings.txt.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "agent/AgentSettings.h"
#include "fuzz/FuzzEntries.h"

namespace quorvane::fuzz {
namespace {

// Lines as the settings reader splits them: CR LF, LF and a lone CR each end one.
long lineCount(std::string_view text) {
  long lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    ++lines;
  }
  return lines;
}

bool isCanonicalAddress(std::string_view address) {
  int parts = 0;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = address.find('.', start);
    if (dot == std::string_view::npos) dot = address.size();
    const std::string_view part = address.substr(start, dot - start);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    int n = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    if (n > 255) return false;
    ++parts;
    if (dot == address.size()) break;
    start = dot + 1;
  }
  return parts == 4;
}

// The rules of one AcceptCommandsFrom value: what is accepted names someone,
// in canonical dotted form, and reads the same once written back.
std::string checkCommandSources(std::string_view value) {
  const auto sources = agent::parseCommandSources(value);
  if (!sources) return {};
  if (!sources->any && sources->addresses.empty()) return "an address list that names nobody";
  std::string joined = sources->any ? "any" : "";
  for (const std::string& address : sources->addresses) {
    if (!isCanonicalAddress(address)) return "an address kept in a non-canonical form: " + address;
    joined += (joined.empty() ? "" : ",") + address;
  }
  const auto again = agent::parseCommandSources(joined);
  if (!again || again->any != sources->any || again->addresses != sources->addresses) {
    return "an address list does not read back";
  }
  return {};
}

}  // namespace

Verdict agentSettings(std::string_view input) {
  constexpr std::string_view kName = "agent_settings";
  const double nearlyOne = std::nextafter(1.0, 0.0);
  const auto random = [nearlyOne] { return nearlyOne; };
  const agent::SettingsResult result = agent::parseClientSettings(input, random);

  if (result.error) {
    const agent::SettingsError& e = *result.error;
    if (e.number != 6 && e.number != 9 && e.number != 13 && e.number != 380) {
      return broken(kName, "an error number outside 6, 9, 13, 380", false);
    }
    if (e.description.empty()) return broken(kName, "an error without a description", false);
    if (e.line < 1 || e.line > lineCount(input)) return broken(kName, "an error on a line the file lacks", false);
    if (e.expectedType.empty() || e.key.empty()) return broken(kName, "an error without key or expected type", false);
    if (agent::criticalSettingsText(e).find(e.description) == std::string::npos ||
        agent::otherSettingsErrorText(e.number, e.description, e.line).empty()) {
      return broken(kName, "the error dialog lacks the error", false);
    }
  } else if (result.settings.auditDelayMs && *result.settings.auditDelayMs < 0) {
    return broken(kName, "a negative audit delay");
  }

  // Every AcceptCommandsFrom value of the file, on its own.
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    std::string_view line = input.substr(start, end - start);
    constexpr std::string_view kKey = "AcceptCommandsFrom:";
    if (line.substr(0, kKey.size()) == kKey) {
      line.remove_prefix(kKey.size());
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      line = line.substr(0, line.find(':'));
      const std::string rule = checkCommandSources(line);
      if (!rule.empty()) return broken(kName, rule, !result.error);
    }
    start = end + 1;
  }

  // CR LF and a lone LF end lines alike (compared where taking the CR out of
  // each CR LF leaves no new CR LF behind, as in CR CR LF).
  const std::string lf = lfOnly(input);
  if (lf.find("\r\n") == std::string::npos) {
    const agent::SettingsResult unix = agent::parseClientSettings(lf, random);
    if (unix.error.has_value() != result.error.has_value()) {
      return broken(kName, "CR LF and LF line ends read differently", !result.error);
    }
    if (result.error) {
      if (unix.error->number != result.error->number || unix.error->line != result.error->line ||
          unix.error->value != result.error->value) {
        return broken(kName, "CR LF and LF line ends fail differently", false);
      }
    } else {
      const agent::AgentSettings& a = result.settings;
      const agent::AgentSettings& b = unix.settings;
      const bool same = a.strServerIP == b.strServerIP && a.lngConnectPort == b.lngConnectPort &&
                        a.blnAllowQuit == b.blnAllowQuit && a.strQuitPassword == b.strQuitPassword &&
                        a.lngListenPort == b.lngListenPort && a.lngReauditMin == b.lngReauditMin &&
                        a.lngReauditMax == b.lngReauditMax && a.blnShowSystemTray == b.blnShowSystemTray &&
                        a.auditDelayMs == b.auditDelayMs &&
                        a.acceptCommandsFrom.has_value() == b.acceptCommandsFrom.has_value();
      if (!same) return broken(kName, "CR LF and LF line ends give different settings");
    }
  }
  Verdict v;
  v.accepted = !result.error;
  return v;
}

const std::vector<Entry>& agentEntries() {
  static const std::vector<Entry> entries{{"agent_settings", &agentSettings}};
  return entries;
}

}  // namespace quorvane::fuzz
