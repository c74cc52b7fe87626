#include "platform/LocalAddress.h"

#include <asio.hpp>

namespace quorvane::platform {

std::optional<std::uint32_t> parseDottedIPv4(std::string_view text) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    const std::size_t begin = at;
    unsigned value = 0;
    while (at < text.size() && at - begin < 4 && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
    }
    const std::size_t digits = at - begin;
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    if (digits > 1 && text[begin] == '0') return std::nullopt;  // no leading zeros
    address = (address << 8) | value;
  }
  if (at != text.size()) return std::nullopt;
  return address;
}

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
