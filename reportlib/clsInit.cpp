#include "reportlib/clsInit.h"

#include "common/modZlib.h"

namespace dovrel {

clsInit::clsInit(ReportHost& host) {
  if (const auto status = quorvane::checkForZlib(); !status.ok()) {
    host.reportError("Dovrel.clsInit.Class_Initialize", status.number(), status.description(),
                     __LINE__);
  }
}

std::vector<std::string> clsInit::strGetNames() const {
  return {std::string(kCatalogSoftware), std::string(kCatalogXml)};
}

std::string clsInit::strGetAuthor() const { return std::string(kAuthor); }

}  // namespace dovrel
