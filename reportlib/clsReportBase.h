// clsReportBase: what every report class of Dovrel shares: the host, the
// progress window and the audit records that Init loads.
//
// Init reads every non-empty path in the stored-file form (decimal length,
// NUL, zlib stream, optionally CR LF) and keeps one record per readable
// file, in list order. A file that cannot be read or decoded is reported
// (standard failure report under "Dovrel.<class>.init") and left out; the
// other files are still loaded. An empty list, or a list whose only entry is
// empty, loads no record at all. Init returns true once it has gone through
// the list.
//
// A report that reads one audit at a time (AuditLoading::PerAudit) keeps only
// the non-empty paths in Init; forEachAudit then reads and decodes each file
// when the report is written, so that no more than one audit is held at a
// time. A file that cannot be read or decoded then is reported the same way
// (under "Dovrel.<class>.init") and left out; it does not fail the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AuditRecord.h"
#include "common/Status.h"
#include "reportlib/ReportHost.h"
#include "reportlib/modProgress.h"

namespace dovrel {

inline constexpr std::string_view kInitTitle = "Report on Software Installed";
inline constexpr std::string_view kNotInitialized = "Has not been initialized";

enum class AuditLoading { AtInit, PerAudit };

// One stored audit file in the stored-file form, decoded.
quorvane::Expected<quorvane::AuditRecord> loadStoredAuditFile(const std::string& path);

class clsReportBase {
 public:
  clsReportBase(std::string_view className, ReportHost host,
                AuditLoading loading = AuditLoading::AtInit);
  virtual ~clsReportBase() = default;
  clsReportBase(const clsReportBase&) = delete;
  clsReportBase& operator=(const clsReportBase&) = delete;

  bool Init(const std::vector<std::string>& paths);
  bool isInit() const { return initialized_; }
  // Writes the report; true when it was written completely.
  virtual bool doReport(std::int32_t lngReportType, const std::string& strPath) = 0;

  const std::vector<quorvane::AuditRecord>& records() const { return records_; }
  // The audits Init was given (records, or paths when read per audit).
  std::size_t auditCount() const;
  // Calls `visit` for every loaded audit in list order, with its position
  // among the audits and the number of audits; stops early when `visit`
  // returns false (and then returns false).
  using AuditVisitor =
      std::function<bool(const quorvane::AuditRecord&, std::size_t index, std::size_t count)>;
  bool forEachAudit(const AuditVisitor& visit);
  ReportHost& host() { return host_; }
  modProgress& progress() { return progress_; }

 protected:
  // Shows "Dovrel.<class>.doReport()" + "Has not been initialized"; false when not initialized.
  bool checkInitialized();
  std::string where(std::string_view procedure) const;

  std::string className_;
  ReportHost host_;
  modProgress progress_;
  AuditLoading loading_;
  std::vector<quorvane::AuditRecord> records_;
  std::vector<std::string> paths_;  // PerAudit: the non-empty paths of Init
  bool initialized_ = false;
};

}  // namespace dovrel
