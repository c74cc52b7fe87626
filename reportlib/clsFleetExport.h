// clsFleetExport: the report "Fleet Export" in the format "Output to JSON"
// (format number 0).
//
// One JSON array holding every stored audit, in their order, each element
// the text that `quorvane-audit dump` prints for that audit file
// (auditRecordToJsonText: texts as UTF-8). Elements are separated by ",",
// and the array ends with a line break; no audit gives "[]".
#pragma once

#include "reportlib/clsAuditStreamReport.h"

namespace dovrel {

inline constexpr std::string_view kCatalogFleetExport =
    "Fleet Export::clsFleetExport::{Output to JSON,.json}";

class clsFleetExport final : public clsAuditStreamReport {
 public:
  explicit clsFleetExport(ReportHost host = ReportHost());

 protected:
  void begin(std::ostream& out) override;
  void audit(std::ostream& out, const quorvane::AuditRecord& record) override;
  void end(std::ostream& out) override;

 private:
  bool first_ = true;
};

}  // namespace dovrel
