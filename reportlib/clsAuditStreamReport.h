// clsAuditStreamReport: the frame of a report that reads the stored audits
// one at a time and writes one file (the CSV, JSON and grouped HTML reports).
//
// Init keeps the paths only (AuditLoading::PerAudit); doReport, with format
// number 0, opens the output file (replacing it), lets the report write its
// beginning, then reads every audit in list order and hands it to the
// report, then lets it write its end. A damaged file is reported and left
// out; a file that cannot be written is reported under
// "Dovrel.<class>.doReport" and makes doReport return false. Any other
// format number writes nothing and returns false. The finished file is
// opened with StartDoc.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "common/AuditRecord.h"
#include "reportlib/clsReportBase.h"

namespace dovrel {

// Whether an element of Software.Applications is an installed application:
// its display name holds more than blanks (the record's closing element and
// blank entries are not), as the software-assets report counts them.
bool isInstalledApplication(const quorvane::ApplicationInfo& application);
// Whether an element of Hardware.Drives is a drive (the closing element has no name).
bool isDrive(const quorvane::DriveInfo& drive);

class clsAuditStreamReport : public clsReportBase {
 public:
  clsAuditStreamReport(std::string_view className, std::string_view status, ReportHost host);

  bool doReport(std::int32_t lngReportType, const std::string& strPath) final;

 protected:
  // The parts of the file, written in this order to the output file.
  virtual void begin(std::ostream& out) = 0;
  virtual void audit(std::ostream& out, const quorvane::AuditRecord& record) = 0;
  virtual void end(std::ostream& out) = 0;

 private:
  std::string status_;
};

}  // namespace dovrel
