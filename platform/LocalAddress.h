// LocalAddress: the local IPv4 address the system would use to reach an IPv4
// address, asked through a UDP socket connected to it (a connected UDP socket
// sends nothing). The native network backends answer localAddressToward with
// it once they have read the dotted text with their system's own parser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvane::platform {

// `serverIPv4` in host byte order (127.0.0.1 is 0x7F000001). The dotted local
// address; nullopt when the system has no route or leaves the local address
// unspecified.
std::optional<std::string> localIPv4Toward(std::uint32_t serverIPv4);

}  // namespace quorvane::platform
