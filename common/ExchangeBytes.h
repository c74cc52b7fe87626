// The bytes of the agent-server exchange, shared by both sides: the
// three-byte command tokens the server sends to an agent's listening port and
// the six-byte end marker that follows the payload of an upload.
#pragma once

#include <string_view>

namespace quorvane {

inline constexpr std::string_view tokAudit{"\x01\x02\x03", 3};
inline constexpr std::string_view tokQuit{"\x03\x01\x02", 3};
inline constexpr std::string_view tokPowerOff{"\x01\x03\x02", 3};
inline constexpr std::string_view tokReboot{"\x02\x01\x03", 3};
inline constexpr std::string_view tokLogOff{"\x02\x03\x01", 3};
inline constexpr std::string_view tokMessage{"\x04\x01\x01", 3};
inline constexpr std::string_view tokHangUp{"\x04\x00\x01", 3};
inline constexpr std::string_view EndMarker{"\xFD\x01\xFE\x02\xFF\x04", 6};

}  // namespace quorvane
