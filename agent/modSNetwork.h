// modSNetwork: the machine's own host name and IPv4 address (synchronous).
//
// The system's answers come through a NameSystem, so that tests give their
// own and never send a query. Failures are shown through `notify` (a message
// text and its message-box style) and give an empty result, as the agent's
// users know them:
//   no host name        -> "Windows Sockets error ..." (style 16), ""
//   the name not found  -> "Windows Sockets are not responding ..." (16), ""
//   anything unexpected -> "127.0.0.1", nothing shown (GetMyIPAddress)
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::agent {

struct NameSystem {
  std::function<std::optional<std::string>()> hostName;
  // IPv4 addresses of a name in the order the lookup lists them; nullopt when
  // the lookup failed.
  std::function<std::optional<std::vector<std::string>>(const std::string&)> addressesOf;
};

// The system's own answers (gethostname, the system's name lookup).
NameSystem systemNameSystem();

using NotifyFn = std::function<void(std::string_view text, int style)>;

std::string GetMyHostname(const NotifyFn& notify, const NameSystem& names = systemNameSystem());
std::string GetMyIPAddress(const NotifyFn& notify, const NameSystem& names = systemNameSystem());

}  // namespace quorvane::agent
