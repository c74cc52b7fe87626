#include "common/AuditJson.h"

namespace quorvane {

std::string auditRecordToJsonText(const AuditRecord& record, int indent) {
  // The texts are valid UTF-8 after conversion; replace guards the dump anyway.
  return toAuditJson(record).dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quorvane
