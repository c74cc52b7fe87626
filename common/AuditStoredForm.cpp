// The stored-file form of one serialised audit record. Kept apart from the
// serialisation so that a reader of raw records does not pull in zlib.
#include "common/AuditRecordIO.h"
#include "common/modCompression.h"

namespace quorvane {

std::string encodeStoredAudit(const AuditRecord& record) {
  return makeStoredForm(writeAuditRecord(record));
}

Expected<std::string> readStoredRecordBytes(std::string_view fileBytes) {
  const std::size_t nul = fileBytes.find('\0');
  if (nul != std::string_view::npos) {
    Expected<std::uint64_t> length = parseDeclaredLength(fileBytes.substr(0, nul));
    if (length && *length > kMaxRecordBytes) {
      return Status::Error(kRecordPastLimits,
                           "AuditRecord: declared length " + std::to_string(*length) + " past the limit of " +
                               std::to_string(kMaxRecordBytes) + " bytes",
                           "readAuditRecord");
    }
  }
  return readStoredForm(fileBytes);
}

Expected<AuditRecord> decodeStoredAudit(std::string_view fileBytes) {
  Expected<std::string> data = readStoredRecordBytes(fileBytes);
  if (!data) return data.status();
  return readAuditRecord(*data);
}

}  // namespace quorvane
