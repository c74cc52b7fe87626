#include "reportlib/clsReportBase.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/AuditRecordIO.h"
#include "common/ErrorReport.h"

namespace dovrel {

clsReportBase::clsReportBase(std::string_view className, ReportHost host)
    : className_(className), host_(std::move(host)), progress_(host_) {}

std::string clsReportBase::where(std::string_view procedure) const {
  return quorvane::errorLocation(quorvane::kProjectReports, className_, procedure);
}

namespace {

quorvane::Expected<std::string> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return quorvane::Status::Error(quorvane::kErrFileNotFound,
                                   path + ": " + std::strerror(errno));
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) {
    return quorvane::Status::Error(quorvane::kErrPathAccess, path + ": read error");
  }
  return std::move(buf).str();
}

}  // namespace

bool clsReportBase::Init(const std::vector<std::string>& paths) {
  progress_.makeProgressWindow(std::string(kInitTitle), "Loading Files ...", "0.0 %");
  records_.clear();
  initialized_ = false;
  const std::size_t total = paths.size();
  for (std::size_t i = 0; i < total; ++i) {
    progress_.setProgress(static_cast<float>(i + 1) / static_cast<float>(total));
    const std::string& path = paths[i];
    if (path.empty()) continue;
    auto bytes = readWholeFile(path);
    if (!bytes) {
      host_.reportError(where("init"), bytes.status().number(), bytes.status().description(),
                        __LINE__);
      continue;
    }
    auto record = quorvane::decodeStoredAudit(*bytes);
    if (!record) {
      host_.reportError(where("init"), record.status().number(),
                        path + ": " + record.status().description(), __LINE__);
      continue;
    }
    records_.push_back(std::move(*record));
  }
  initialized_ = true;
  return true;
}

bool clsReportBase::checkInitialized() {
  if (initialized_) return true;
  host_.showMessage(QV_ICON_CRITICAL,
                    "Dovrel." + className_ + ".doReport()\r\n\r\n" + std::string(kNotInitialized));
  return false;
}

}  // namespace dovrel
