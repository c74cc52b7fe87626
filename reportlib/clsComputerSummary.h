// clsComputerSummary: the report "Computer Summary" in the format
// "Output to CSV" (format number 0).
//
// One CSV record per stored audit, in their order, after one header record.
// Columns: IP address, host name, domain, user (of the network identity),
// operating system, version, processor (its class text), processor vendor,
// CPU speed, number of CPUs, memory (total physical), drives, number of
// installed applications, audit date. The drives cell lists every drive as
// name, blank, size, " (", free space, " free)", joined by "; ". The other
// cells are the stored texts as they stand. UTF-8 with a byte-order mark,
// RFC 4180 quoting, CR LF record ends.
#pragma once

#include <string>

#include "reportlib/clsAuditStreamReport.h"

namespace dovrel {

inline constexpr std::string_view kCatalogComputerSummary =
    "Computer Summary::clsComputerSummary::{Output to CSV,.csv}";

// The drives cell of one record (Windows-1252, as stored).
std::string drivesCell(const quorvane::AuditRecord& record);

class clsComputerSummary final : public clsAuditStreamReport {
 public:
  explicit clsComputerSummary(ReportHost host = ReportHost());

 protected:
  void begin(std::ostream& out) override;
  void audit(std::ostream& out, const quorvane::AuditRecord& record) override;
  void end(std::ostream& out) override;
};

}  // namespace dovrel
