#include "agent/modSNetwork.h"

#include <asio.hpp>

namespace quorvane::agent {

NameSystem systemNameSystem() {
  NameSystem s;
  s.hostName = []() -> std::optional<std::string> {
    asio::error_code ec;
    std::string name = asio::ip::host_name(ec);
    if (ec) return std::nullopt;
    return name;
  };
  s.addressesOf = [](const std::string& name) -> std::optional<std::vector<std::string>> {
    asio::io_context io;
    asio::ip::tcp::resolver resolver(io);
    asio::error_code ec;
    auto results = resolver.resolve(asio::ip::tcp::v4(), name, "", ec);
    if (ec) return std::nullopt;
    std::vector<std::string> out;
    for (const auto& r : results) {
      std::string a = r.endpoint().address().to_string();
      bool seen = false;
      for (const auto& o : out) seen = seen || o == a;
      if (!seen) out.push_back(a);
    }
    return out;
  };
  return s;
}

std::string GetMyHostname(const NotifyFn& notify, const NameSystem& names) {
  auto name = names.hostName ? names.hostName() : std::nullopt;
  if (!name) {
    if (notify) notify("Windows Sockets error ...", 16);
    return {};
  }
  // The name ends at its first NUL.
  return name->substr(0, name->find('\0'));
}

std::string GetMyIPAddress(const NotifyFn& notify, const NameSystem& names) {
  try {
    auto name = names.hostName ? names.hostName() : std::nullopt;
    if (!name) {
      if (notify) notify("Windows Sockets error ...", 16);
      return {};
    }
    auto addresses = names.addressesOf ? names.addressesOf(name->substr(0, name->find('\0')))
                                       : std::nullopt;
    if (!addresses || addresses->empty()) {
      if (notify) notify("Windows Sockets are not responding ...", 16);
      return {};
    }
    return addresses->front();
  } catch (...) {
    return "127.0.0.1";
  }
}

}  // namespace quorvane::agent
