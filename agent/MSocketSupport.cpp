#include "agent/MSocketSupport.h"
#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

std::string GetErrorDescription(long code) {
  switch (code) {
    case 10004: return "Interrupted function call.";
    case 10013: return "Permission denied.";
    case 10014: return "Bad address.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Resource temporarily unavailable.";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on nonsocket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Network dropped connection on reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send after socket shutdown.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10067: return "Too many processes.";
    case 10091: return "Network subsystem is unavailable.";
    case 10092: return "Winsock.dll version out of range.";
    case 10093: return "Successful WSAStartup not yet performed.";
    case 10101: return "Graceful shutdown in progress.";
    case 10107: return "System call failure.";
    case 10109: return "Class type not found.";
    case 11001: return "Host not found.";
    case 11002: return "Nonauthoritative host not found.";
    case 11003: return "This is a nonrecoverable error.";
    case 11004: return "Valid name, no data record of requested type.";
    default: return "Unknown error.";
  }
}

long winsockCode(const asio::error_code& ec) {
  if (!ec) return 0;
  // On Windows the system category already carries the Windows Sockets
  // numbers; keep them.
  if (ec.category() == asio::system_category() && ec.value() >= 10000 && ec.value() < 12000) {
    return ec.value();
  }
  namespace e = asio::error;
  if (ec == e::host_not_found) return 11001;
  if (ec == e::host_not_found_try_again) return 11002;
  if (ec == e::no_recovery) return 11003;
  if (ec == e::no_data) return 11004;
  // (On Windows the resolver's category is the system category itself.)
  if (ec.category() == asio::error::get_addrinfo_category() &&
      ec.category() != asio::system_category())
    return 11001;
  if (ec == e::connection_refused) return 10061;
  if (ec == e::address_in_use) return 10048;
  if (ec == std::errc::address_not_available) return 10049;
  if (ec == e::connection_reset) return 10054;
  if (ec == e::connection_aborted) return 10053;
  if (ec == e::timed_out) return 10060;
  if (ec == e::network_unreachable) return 10051;
  if (ec == e::host_unreachable) return 10065;
  if (ec == e::network_down) return 10050;
  if (ec == e::network_reset) return 10052;
  if (ec == e::access_denied) return 10013;
  if (ec == e::would_block || ec == e::try_again) return 10035;
  if (ec == e::in_progress) return 10036;
  if (ec == e::already_started) return 10037;
  if (ec == e::not_socket || ec == e::bad_descriptor) return 10038;
  if (ec == e::message_size) return 10040;
  if (ec == e::no_protocol_option) return 10042;
  if (ec == e::operation_not_supported) return kWsaOperationNotSupported;
  if (ec == e::address_family_not_supported) return 10047;
  if (ec == e::invalid_argument) return 10022;
  if (ec == e::no_buffer_space || ec == e::no_memory) return 10055;
  if (ec == e::no_descriptors) return 10024;
  if (ec == e::already_connected) return 10056;
  if (ec == e::not_connected) return 10057;
  if (ec == e::shut_down || ec == e::broken_pipe) return 10058;
  if (ec == e::fault) return 10014;
  if (ec == e::interrupted || ec == e::operation_aborted) return 10004;
  if (ec == e::eof) return 10101;
  return 10107;  // system call failure: a condition with no closer number
}

std::optional<int> UnsignedToInteger(long value) {
  if (value < 0 || value > 65535) return std::nullopt;
  return value > 32767 ? static_cast<int>(value - 65536) : static_cast<int>(value);
}

long IntegerToUnsigned(int value) { return value < 0 ? value + 65536L : value; }

MSocketSupport::MSocketSupport(asio::io_context& io, HostResolver& resolver)
    : io_(io), resolver_(resolver) {}

MSocketSupport::~MSocketSupport() = default;

void MSocketSupport::letPendingEventsRun() {
  if (io_.stopped()) return;
  io_.poll();
}

long MSocketSupport::parkAccepted(asio::ip::tcp::socket socket) {
  const long id = nextRequestId_++;
  if (nextRequestId_ <= 0) nextRequestId_ = 1;
  parked_.emplace(id, std::move(socket));
  return id;
}

std::optional<asio::ip::tcp::socket> MSocketSupport::takeAccepted(long requestId) {
  auto it = parked_.find(requestId);
  if (it == parked_.end()) return std::nullopt;
  std::optional<asio::ip::tcp::socket> s(std::move(it->second));
  parked_.erase(it);
  return s;
}

void MSocketSupport::dropAccepted(long requestId) {
  auto it = parked_.find(requestId);
  if (it == parked_.end()) return;
  asio::error_code ignored;
  it->second.close(ignored);
  parked_.erase(it);
}

}  // namespace quorvane::agent
