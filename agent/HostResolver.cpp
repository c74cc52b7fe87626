#include "agent/HostResolver.h"

#include "agent/MSocketSupport.h"
#include "common/DottedIPv4.h"

namespace quorvane::agent {

std::optional<asio::ip::address_v4> parseDottedAddress(const std::string& text) {
  const std::optional<std::uint32_t> address = parseDottedIPv4(text);
  if (!address) return std::nullopt;
  return asio::ip::address_v4(*address);
}

SystemHostResolver::SystemHostResolver(asio::io_context& io) : io_(io), resolver_(io) {}

SystemHostResolver::~SystemHostResolver() {
  *alive_ = false;
  resolver_.cancel();
}

long SystemHostResolver::resolve(const std::string& hostName, Callback done) {
  const long id = next_++;
  pending_.emplace(id, std::move(done));
  resolver_.async_resolve(
      asio::ip::tcp::v4(), hostName, "",
      [this, id, alive = alive_](const asio::error_code& ec,
                                 asio::ip::tcp::resolver::results_type results) {
        if (!*alive) return;
        auto it = pending_.find(id);
        if (it == pending_.end()) return;
        Callback cb = std::move(it->second);
        pending_.erase(it);
        ResolveResult r;
        if (ec) {
          r.error = winsockCode(ec);
        } else if (results.empty()) {
          r.error = kWsaHostNotFound;
        } else {
          r.address = results.begin()->endpoint().address().to_string();
        }
        cb(r);
      });
  return id;
}

void SystemHostResolver::cancel(long requestId) { pending_.erase(requestId); }

std::optional<std::string> SystemHostResolver::reverseLookup(const std::string& address) {
  auto a = parseDottedAddress(address);
  if (!a) return std::nullopt;
  asio::error_code ec;
  auto results = resolver_.resolve(asio::ip::tcp::endpoint(*a, 0), ec);
  if (ec || results.empty()) return std::nullopt;
  return results.begin()->host_name();
}

StaticHostResolver::StaticHostResolver(asio::io_context& io) : io_(io) {}

StaticHostResolver::~StaticHostResolver() { *alive_ = false; }

long StaticHostResolver::resolve(const std::string& hostName, Callback done) {
  ++queries_;
  const long id = next_++;
  pending_.emplace(id, std::move(done));
  ResolveResult r;
  if (auto it = addresses.find(hostName); it != addresses.end()) {
    r.address = it->second;
  } else {
    r.error = kWsaHostNotFound;
  }
  asio::post(io_, [this, id, r, alive = alive_] {
    if (!*alive) return;
    auto it = pending_.find(id);
    if (it == pending_.end()) return;
    Callback cb = std::move(it->second);
    pending_.erase(it);
    cb(r);
  });
  return id;
}

void StaticHostResolver::cancel(long requestId) { pending_.erase(requestId); }

std::optional<std::string> StaticHostResolver::reverseLookup(const std::string& address) {
  for (const auto& [name, addr] : addresses) {
    if (addr == address) return name;
  }
  return std::nullopt;
}

}  // namespace quorvane::agent
