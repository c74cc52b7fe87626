// The bytes of the agent-server exchange: three-byte command tokens and the
// six-byte end marker that follows an upload's payload.
#pragma once

#include <string_view>

namespace quorvane::agent {

inline constexpr std::string_view tokAudit{"\x01\x02\x03", 3};
inline constexpr std::string_view tokQuit{"\x03\x01\x02", 3};
inline constexpr std::string_view tokPowerOff{"\x01\x03\x02", 3};
inline constexpr std::string_view tokReboot{"\x02\x01\x03", 3};
inline constexpr std::string_view tokLogOff{"\x02\x03\x01", 3};
inline constexpr std::string_view tokMessage{"\x04\x01\x01", 3};
inline constexpr std::string_view tokHangUp{"\x04\x00\x01", 3};
inline constexpr std::string_view EndMarker{"\xFD\x01\xFE\x02\xFF\x04", 6};

}  // namespace quorvane::agent
