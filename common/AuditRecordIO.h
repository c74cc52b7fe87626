// Reading and writing the byte stream of an AuditRecord.
//
// One generic routine, driven by the field lists of common/AuditRecord.h,
// writes and reads every record type. The reader takes untrusted bytes: every
// count is checked against the limits of common/AuditRecord.h and against
// the bytes left before anything is allocated, a dimension count other than
// 0 or 1 is an error, a short stream is an error, a record longer than
// kMaxRecordBytes is an error, and bytes after a complete record are ignored.
//
// A text longer than 65535 bytes cannot be represented by its 16-bit length;
// the writer truncates it to 65535 bytes so that the stream stays readable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/AuditRecord.h"
#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

inline constexpr std::size_t kMaxTextBytes = 65535;

// A failed read has one of the kRecord* numbers of common/ErrorNumbers.h; the
// description names the field path, e.g.
// "Hardware.Drives[2].DriveLabel: stream ends early".

// Appends the serialisation of `record` to `out`.
void writeAuditRecord(std::string& out, const AuditRecord& record);
std::string writeAuditRecord(const AuditRecord& record);

// Reads one record from the start of `bytes`. On success `*consumed` (when
// given) is the number of bytes the record took.
Expected<AuditRecord> readAuditRecord(std::string_view bytes, std::size_t* consumed = nullptr);

// The stored-file form (decimal length, NUL, zlib stream [, CR LF]) of one
// serialised record, in both directions.
// A stored form whose declared length passes kMaxRecordBytes is refused
// before anything is inflated.
std::string encodeStoredAudit(const AuditRecord& record);
Expected<AuditRecord> decodeStoredAudit(std::string_view fileBytes);
// The serialised record inside a stored form (inflated, not yet read).
Expected<std::string> readStoredRecordBytes(std::string_view fileBytes);

}  // namespace quorvane
