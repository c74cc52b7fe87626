// ErrorNumbers: the error numbers of the common library, and the Visual Basic
// style numbers of the error-report convention that all three programs share
// for their own failures. A program's own numbers live in one header of its
// own (the server's in server/core/ServerErrors.h); a number means the same
// wherever it appears.
#pragma once

namespace quorvane {

// The convention's numbers (their Visual Basic texts in quotes).
inline constexpr long kErrInvalidCall = 5;         // "Invalid procedure call or argument"
inline constexpr long kErrOutOfMemory = 7;         // "Out of memory": more bytes than allowed
inline constexpr long kErrSubscript = 9;           // "Subscript out of range"
inline constexpr long kErrTypeMismatch = 13;       // "Type mismatch"
inline constexpr long kErrFileNotFound = 53;       // "File not found"
inline constexpr long kErrDiskFull = 61;           // "Disk full"
inline constexpr long kErrDeviceUnavailable = 68;  // "Device unavailable"
inline constexpr long kErrPermissionDenied = 70;   // "Permission denied"
inline constexpr long kErrPathAccess = 75;         // "Path/File access error"
inline constexpr long kErrObjectNotSet = 91;       // "Object variable or With block variable not set"
inline constexpr long kErrBadFileFormat = 321;     // "Invalid file format"

// readWholeFile (common/WholeFile.h): the file holds more than the limit.
inline constexpr long kErrFileTooLarge = kErrOutOfMemory;

// A serialised audit record that fails to read (common/AuditRecordIO.h).
inline constexpr long kRecordEndsEarly = 62;   // the stream ends inside the record
inline constexpr long kRecordMalformed = 63;   // an impossible array header
inline constexpr long kRecordPastLimits = 64;  // more elements or bytes than a record may have

// The HE3 codec (common/clsHuffman.h).
inline constexpr long kErrHe3NotIdentified = 32001;  // neither "HE3" nor "HE0" + CR
inline constexpr long kErrHe3Corrupt = 32002;        // structure impossible or truncated
inline constexpr long kErrHe3CheckByte = 32003;      // decoded bytes do not match the check byte
inline constexpr long kErrHe3TooLong = 32004;        // input beyond the 32-bit length field

// The Base64 codec (common/clsB64.h).
inline constexpr long kErrB64Malformed = 32011;

// The zlib wrapper and the stored form (common/modCompression.h, common/modZlib.h).
inline constexpr long kErrCompressedData = 32021;  // stored form or zlib stream malformed
inline constexpr long kErrCompressFailed = 32022;  // zlib refused to compress or to start
inline constexpr long kErrZlibMissing = 32031;     // no usable zlib library

}  // namespace quorvane
