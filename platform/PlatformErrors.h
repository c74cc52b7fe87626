// PlatformErrors: the numbers of the errors the platform services return,
// in the numbering the agent's users know (Windows system error codes,
// Windows Sockets codes, and the runtime's "Invalid procedure call"). The
// runtime numbers the server shares (53 file not found, 75 path/file access,
// 321 bad file format, 13 type mismatch) are in common/ErrorReport.h; the
// agent's own numbers, together with these, in agent/collect/AgentErrors.h.
// The platform layer cannot include the agent, hence this header of its own.
#pragma once

namespace quorvane::platform {

inline constexpr long kErrInvalidCall = 5;          // "Invalid procedure call or argument"
inline constexpr long kErrAccessDenied = 5;         // ERROR_ACCESS_DENIED "Access is denied."
inline constexpr long kErrActionFailed = 1;         // a power action the system refused
inline constexpr long kErrNotSupported = 50;        // ERROR_NOT_SUPPORTED
inline constexpr long kErrInvalidParameter = 87;    // ERROR_INVALID_PARAMETER
inline constexpr long kErrWinsockNotStarted = 10093;  // WSANOTINITIALISED

}  // namespace quorvane::platform
