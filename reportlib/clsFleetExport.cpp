#include "reportlib/clsFleetExport.h"

#include "common/AuditJson.h"

namespace dovrel {

clsFleetExport::clsFleetExport(ReportHost host)
    : clsAuditStreamReport("clsFleetExport", "Creating JSON Export ...", std::move(host)) {}

void clsFleetExport::begin(std::ostream& out) {
  first_ = true;
  out << "[";
}

void clsFleetExport::audit(std::ostream& out, const quorvane::AuditRecord& record) {
  out << (first_ ? "\n" : ",\n") << quorvane::auditRecordToJsonText(record);
  first_ = false;
}

void clsFleetExport::end(std::ostream& out) { out << (first_ ? "]\n" : "\n]\n"); }

}  // namespace dovrel
