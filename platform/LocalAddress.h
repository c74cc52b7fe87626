// LocalAddress: the local IPv4 address the system would use to reach an IPv4
// address, asked through a UDP socket connected to it (a connected UDP socket
// sends nothing). The native network backends answer localAddressToward
// with it; it never resolves names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

// The address a dotted IPv4 text gives, in host byte order (127.0.0.1 is
// 0x7F000001): exactly four decimal parts of 0 to 255 without leading zeros
// and nothing else (the form inet_pton reads); nullopt for any other text.
std::optional<std::uint32_t> parseDottedIPv4(std::string_view text);

// The dotted local address toward `serverIPv4`; nullopt when the text is not
// a dotted IPv4 address, the system has no route or leaves the local address
// unspecified.
std::optional<std::string> localIPv4Toward(std::string_view serverIPv4);

}  // namespace quorvane::platform
