#include "reportlib/clsReportBase.h"

#include "common/AuditRecordIO.h"
#include "common/ErrorReport.h"
#include "common/WholeFile.h"
#include "common/modCompression.h"

namespace dovrel {

clsReportBase::clsReportBase(std::string_view className, ReportHost host, AuditLoading loading)
    : className_(className), host_(std::move(host)), progress_(host_), loading_(loading) {}

std::string clsReportBase::where(std::string_view procedure) const {
  return quorvane::errorLocation(quorvane::kProjectReports, className_, procedure);
}

quorvane::Expected<quorvane::AuditRecord> loadStoredAuditFile(const std::string& path) {
  auto bytes = quorvane::readWholeFile(path, quorvane::kMaxStoredFileSize);
  if (!bytes) return bytes.status();
  auto record = quorvane::decodeStoredAudit(*bytes);
  if (!record) {
    return quorvane::Status::Error(record.status().number(),
                                   path + ": " + record.status().description());
  }
  return record;
}

bool clsReportBase::Init(const std::vector<std::string>& paths) {
  progress_.makeProgressWindow(std::string(kInitTitle), "Loading Files ...", "0.0 %");
  records_.clear();
  paths_.clear();
  initialized_ = false;
  const std::size_t total = paths.size();
  for (std::size_t i = 0; i < total; ++i) {
    progress_.setProgress(static_cast<float>(i + 1) / static_cast<float>(total));
    const std::string& path = paths[i];
    if (path.empty()) continue;
    if (loading_ == AuditLoading::PerAudit) {
      paths_.push_back(path);
      continue;
    }
    auto record = loadStoredAuditFile(path);
    if (!record) {
      host_.reportError(where("init"), record.status().number(), record.status().description(),
                        __LINE__);
      continue;
    }
    records_.push_back(std::move(*record));
  }
  initialized_ = true;
  return true;
}

std::size_t clsReportBase::auditCount() const {
  return loading_ == AuditLoading::PerAudit ? paths_.size() : records_.size();
}

bool clsReportBase::forEachAudit(const AuditVisitor& visit) {
  const std::size_t count = auditCount();
  if (loading_ == AuditLoading::AtInit) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!visit(records_[i], i, count)) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i < count; ++i) {
    auto record = loadStoredAuditFile(paths_[i]);
    if (!record) {
      // A damaged file is left out of the report; the run itself goes on.
      host_.showMessage(QV_ICON_CRITICAL,
                        quorvane::formatErrorReport(where("init"), record.status().number(),
                                                    record.status().description(), __LINE__));
      continue;
    }
    if (!visit(*record, i, count)) return false;
  }
  return true;
}

bool clsReportBase::checkInitialized() {
  if (initialized_) return true;
  host_.showMessage(QV_ICON_CRITICAL,
                    "Dovrel." + className_ + ".doReport()\r\n\r\n" + std::string(kNotInitialized));
  return false;
}

}  // namespace dovrel
