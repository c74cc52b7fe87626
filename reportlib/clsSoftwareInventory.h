// clsSoftwareInventory: the report "Software Inventory" in the format
// "Output to CSV" (format number 0).
//
// One CSV record per computer and installed application (isInstalledApplication),
// in the order of the stored audits and of their application lists, after one
// header record. Columns: IP address, host name, domain, product, version,
// publisher, install location, audit date, each the stored text as it stands.
// UTF-8 with a byte-order mark, RFC 4180 quoting, CR LF record ends.
#pragma once

#include "reportlib/clsAuditStreamReport.h"

namespace dovrel {

inline constexpr std::string_view kCatalogSoftwareInventory =
    "Software Inventory::clsSoftwareInventory::{Output to CSV,.csv}";

class clsSoftwareInventory final : public clsAuditStreamReport {
 public:
  explicit clsSoftwareInventory(ReportHost host = ReportHost());

 protected:
  void begin(std::ostream& out) override;
  void audit(std::ostream& out, const quorvane::AuditRecord& record) override;
  void end(std::ostream& out) override;
};

}  // namespace dovrel
