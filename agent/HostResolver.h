// HostResolver: name resolution for the socket layer, behind a small seam.
//
// `resolve` starts an asynchronous lookup of one host name and returns its
// request id (never 0); the result (the first IPv4 address, or an error
// number such as 11001 "Host not found.") is delivered later as a call on the
// event loop, never from inside `resolve`. `cancel` forgets a request: its
// callback is then never called.
//
// SystemHostResolver asks the system (asio's resolver). StaticHostResolver
// answers from a table and never sends anything: tests and simulations use it
// so that no query leaves the machine.
#pragma once

#include <asio.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace quorvane::agent {

struct ResolveResult {
  long error = 0;          // 0 on success, else a Windows Sockets number
  std::string address;     // dotted IPv4 address on success
};

class HostResolver {
 public:
  using Callback = std::function<void(const ResolveResult&)>;
  virtual ~HostResolver() = default;
  virtual long resolve(const std::string& hostName, Callback done) = 0;
  virtual void cancel(long requestId) = 0;
  // The host name of a dotted address, or nullopt (synchronous).
  virtual std::optional<std::string> reverseLookup(const std::string& address) = 0;
};

class SystemHostResolver final : public HostResolver {
 public:
  explicit SystemHostResolver(asio::io_context& io);
  ~SystemHostResolver() override;
  long resolve(const std::string& hostName, Callback done) override;
  void cancel(long requestId) override;
  std::optional<std::string> reverseLookup(const std::string& address) override;

 private:
  asio::io_context& io_;
  asio::ip::tcp::resolver resolver_;
  std::map<long, Callback> pending_;
  long next_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class StaticHostResolver final : public HostResolver {
 public:
  explicit StaticHostResolver(asio::io_context& io);
  ~StaticHostResolver() override;
  // Names not in the table resolve to 11001 "Host not found.".
  std::map<std::string, std::string> addresses;
  long resolve(const std::string& hostName, Callback done) override;
  void cancel(long requestId) override;
  std::optional<std::string> reverseLookup(const std::string& address) override;
  int queries() const { return queries_; }

 private:
  asio::io_context& io_;
  std::map<long, Callback> pending_;
  long next_ = 1;
  int queries_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Whether `text` is a dotted IPv4 address (four decimal parts, read alike on
// every system by parseDottedIPv4).
std::optional<asio::ip::address_v4> parseDottedAddress(const std::string& text);

}  // namespace quorvane::agent
