#include "platform/LocalAddress.h"

#include <asio.hpp>

#include "common/DottedIPv4.h"

namespace quorvane::platform {

std::optional<std::string> localIPv4Toward(std::string_view serverIPv4) {
  const auto server = parseDottedIPv4(serverIPv4);
  if (!server) return std::nullopt;
  asio::io_context io;
  asio::ip::udp::socket socket(io);
  asio::error_code ec;
  socket.open(asio::ip::udp::v4(), ec);
  if (ec) return std::nullopt;
  // Any port: connecting a UDP socket sends nothing.
  socket.connect(asio::ip::udp::endpoint(asio::ip::address_v4(*server), 9), ec);
  if (ec) return std::nullopt;
  const auto local = socket.local_endpoint(ec);
  if (ec || local.address().is_unspecified()) return std::nullopt;
  return local.address().to_string();
}

}  // namespace quorvane::platform
