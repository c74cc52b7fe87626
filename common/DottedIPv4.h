// DottedIPv4: the one reading of an IPv4 address written as text, the same
// on every system (the systems' own parsers differ: Winsock also takes short
// forms such as "127.0.1" and an attached ":port").
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {

// The address a dotted IPv4 text gives, in host byte order (127.0.0.1 is
// 0x7F000001): exactly four decimal parts of 0 to 255 without leading zeros
// and nothing else (the form inet_pton reads); nullopt for any other text.
std::optional<std::uint32_t> parseDottedIPv4(std::string_view text);

}  // namespace quorvane
