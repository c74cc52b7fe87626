// MSocketSupport: the dispatcher behind every CSocket of one event loop.
//
// One single-threaded asio::io_context carries every event of the agent:
// each CSocket waits on its handle's readiness through it, name resolutions
// complete on it, and the agent's timers run on it. "Letting pending events run" polls it once.
//
// It also keeps the accepted connections that OnConnectionRequest hands out
// by request id until a CSocket adopts them with Accept (an unadopted one is
// closed once the event handler returns), and it translates the system's
// error conditions into the Windows Sockets numbers and texts that the rest
// of the agent (and its users) know.
//
// The io_context and the HostResolver must outlive the MSocketSupport, and
// the MSocketSupport must outlive every CSocket created on it.
#pragma once

#include <asio.hpp>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

class HostResolver;

// The largest UDP payload of IPv4, reported as the maximum datagram size.
inline constexpr long kMaxDatagramSize = 65507;

// The text of a Windows Sockets error number ("Unknown error." for others).
std::string GetErrorDescription(long code);
// The Windows Sockets number of a system error condition (0 for success).
long winsockCode(const asio::error_code& ec);

// Ports in and out of their 16-bit form. UnsignedToInteger fails with the
// overflow error (6) outside 0..65535 and returns nullopt then.
std::optional<int> UnsignedToInteger(long value);
long IntegerToUnsigned(int value);

class MSocketSupport {
 public:
  MSocketSupport(asio::io_context& io, HostResolver& resolver);
  ~MSocketSupport();
  MSocketSupport(const MSocketSupport&) = delete;
  MSocketSupport& operator=(const MSocketSupport&) = delete;

  asio::io_context& io() { return io_; }
  HostResolver& resolver() { return resolver_; }

  // The maximum datagram size; a CSocket calls it when it is created.
  long InitWinsockService() const { return kMaxDatagramSize; }

  // Runs whatever is ready on the loop, then returns (may be called from
  // inside an event handler).
  void letPendingEventsRun();

  // Accepted connections waiting to be adopted.
  long parkAccepted(asio::ip::tcp::socket socket);
  std::optional<asio::ip::tcp::socket> takeAccepted(long requestId);
  void dropAccepted(long requestId);
  std::size_t parkedCount() const { return parked_.size(); }

 private:
  asio::io_context& io_;
  HostResolver& resolver_;
  std::map<long, asio::ip::tcp::socket> parked_;
  long nextRequestId_ = 1;
};

}  // namespace quorvane::agent
