// AgentErrors: every error number the agent (QuorvanePro) raises or reports:
// the collectors, the sockets, the settings and the start-up. With it come
// the numbers of the platform services (platform/PlatformErrors.h) and the
// runtime numbers the agent shares with the server (common/ErrorReport.h:
// kErrFileNotFound, kErrPathAccess, kErrTypeMismatch, ...).
//
// It lives in agent/collect, the lowest layer of the agent, so that the
// collectors and the agent include the same header without an include
// pointing up.
#pragma once

#include "common/ErrorReport.h"
#include "platform/PlatformErrors.h"

namespace quorvane::agent {

using platform::kErrAccessDenied;
using platform::kErrInvalidCall;
using platform::kErrInvalidParameter;
using platform::kErrNotSupported;

// Runtime numbers of the agent's own failures.
inline constexpr long kErrOverflow = 6;
inline constexpr long kErrOutOfMemory = 7;
inline constexpr long kErrInternal = 51;             // an unexpected failure of the program
inline constexpr long kErrDeviceIO = 57;             // "Device I/O error"
inline constexpr long kErrInvalidPropertyValue = 380;

// The version reader of the collectors (clsFVer).
inline constexpr long kErrVersionFileNotFound = 28001;
inline constexpr long kErrNoVersionResource = 28002;

// Windows Sockets numbers the socket layer raises and reports, and the
// socket control's own.
inline constexpr long kWsaInterrupted = 10004;
inline constexpr long kWsaInvalidArgument = 10022;
inline constexpr long kWsaWouldBlock = 10035;
inline constexpr long kWsaAlreadyInProgress = 10037;
inline constexpr long kWsaNotSocket = 10038;
inline constexpr long kWsaDestinationAddressRequired = 10039;
inline constexpr long kWsaOperationNotSupported = 10045;
inline constexpr long kWsaAddressInUse = 10048;
inline constexpr long kWsaAddressNotAvailable = 10049;
inline constexpr long kWsaAlreadyConnected = 10056;
inline constexpr long kWsaConnectionRefused = 10061;
inline constexpr long kWsaHostNotFound = 11001;
using platform::kErrWinsockNotStarted;
inline constexpr long kErrWrongProtocolOrState = 40006;
inline constexpr long kErrInvalidOperation = 40020;

}  // namespace quorvane::agent
