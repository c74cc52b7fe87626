// LocalAddress: the local IPv4 address the system would use to reach an IPv4
// address, asked through a UDP socket connected to it (a connected UDP socket
// sends nothing). The native network backends answer localAddressToward
// with it; it never resolves names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

// The dotted local address toward `serverIPv4`; nullopt when the text is not
// a dotted IPv4 address, the system has no route or leaves the local address
// unspecified.
std::optional<std::string> localIPv4Toward(std::string_view serverIPv4);

}  // namespace quorvane::platform
