// The stored-file form of one serialised audit record. Kept apart from the
// serialisation so that a reader of raw records does not pull in zlib.
#include "common/AuditRecordIO.h"
#include "common/modCompression.h"

namespace quorvane {

std::string encodeStoredAudit(const AuditRecord& record) {
  return makeStoredForm(writeAuditRecord(record));
}

Expected<AuditRecord> decodeStoredAudit(std::string_view fileBytes) {
  Expected<std::string> data = readStoredForm(fileBytes);
  if (!data) return data.status();
  return readAuditRecord(*data);
}

}  // namespace quorvane
