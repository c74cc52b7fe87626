// ServerErrors: the error numbers of QuorvaneServer's own failures. The
// convention's shared numbers (kErrFileNotFound, kErrPathAccess, ...) are in
// common/ErrorNumbers.h; these are the ones only the server gives.
#pragma once

#include "common/ErrorNumbers.h"

namespace quorvane {

// Settings: a number beyond its range ("Overflow").
inline constexpr long kErrOverflow = 6;

// Intake: an upload beyond the limits ("Out of memory" in the convention),
// and the Windows Sockets numbers of a port that cannot be used or a source
// that is refused.
inline constexpr long kErrUploadTooLarge = kErrOutOfMemory;
inline constexpr long kErrAddressInUse = 10048;    // address in use
inline constexpr long kErrListenFailed = 10022;    // invalid argument
inline constexpr long kErrSourceRefused = 10061;   // connection refused

// Report libraries: loading one and calling its objects.
inline constexpr long kErrLoadLibrary = 48;          // "Error in loading DLL"
inline constexpr long kErrEntryPointMissing = 453;   // "Can't find DLL entry point"
inline constexpr long kErrCannotCreateObject = 429;  // "ActiveX component can't create object"
inline constexpr long kErrMethodFailed = 438;        // "Object doesn't support this property or method"

// The index database refused or failed.
inline constexpr long kErrIndexDatabase = 3146;
// A packed id list of the index that is cut short or malformed.
inline constexpr long kErrIdList = 3147;

// The index queries of the command line (--find, --history, ...): the index
// is switched off, or holds no machine with the address asked for. Only the
// description is shown; the program's exit status is 1.
inline constexpr long kErrIndexOff = 1;
inline constexpr long kErrNoSuchMachine = 1;

}  // namespace quorvane
