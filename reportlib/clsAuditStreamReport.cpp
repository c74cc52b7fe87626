#include "reportlib/clsAuditStreamReport.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/ErrorReport.h"
#include "reportlib/modMain.h"

namespace dovrel {

bool isInstalledApplication(const quorvane::ApplicationInfo& application) {
  return !trimBlanks(application.DisplayName).empty();
}

bool isDrive(const quorvane::DriveInfo& drive) { return !drive.DriveName.empty(); }

clsAuditStreamReport::clsAuditStreamReport(std::string_view className, std::string_view status,
                                           ReportHost host)
    : clsReportBase(className, std::move(host), AuditLoading::PerAudit), status_(status) {}

bool clsAuditStreamReport::doReport(std::int32_t lngReportType, const std::string& strPath) {
  host_.resetFailed();
  if (!checkInitialized()) return false;
  if (lngReportType != 0) return false;
  const std::string location = where("doReport");
  std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
  if (!file) {
    host_.reportError(location, quorvane::kErrPathAccess, strPath + ": " + std::strerror(errno),
                      __LINE__);
    return false;
  }
  progress_.setStatus(status_);
  begin(file);
  bool written = static_cast<bool>(file) &&
                 forEachAudit([&](const quorvane::AuditRecord& record, std::size_t i, std::size_t n) {
                   progress_.setProgress(static_cast<float>(i + 1) / static_cast<float>(n));
                   audit(file, record);
                   return static_cast<bool>(file);
                 });
  if (written) end(file);
  file.close();
  if (!written || !file) {
    host_.reportError(location, quorvane::kErrPathAccess,
                      strPath + ": the report could not be written", __LINE__);
    return false;
  }
  progress_.unload();
  StartDoc(strPath, host_);
  return !host_.failed();
}

}  // namespace dovrel
