#include "reportlib/clsInit.h"

#include "common/modZlib.h"
#include "reportlib/clsComputerSummary.h"
#include "reportlib/clsFleetExport.h"
#include "reportlib/clsSoftwareByVersion.h"
#include "reportlib/clsSoftwareInventory.h"

namespace dovrel {

clsInit::clsInit(ReportHost& host) {
  if (const auto status = quorvane::checkForZlib(); !status.ok()) {
    host.reportError("Dovrel.clsInit.Class_Initialize", status.number(), status.description(),
                     __LINE__);
  }
}

std::vector<std::string> clsInit::strGetNames() const {
  return {std::string(kCatalogSoftware),          std::string(kCatalogXml),
          std::string(kCatalogSoftwareByVersion), std::string(kCatalogSoftwareInventory),
          std::string(kCatalogComputerSummary),   std::string(kCatalogFleetExport)};
}

std::string clsInit::strGetAuthor() const { return std::string(kAuthor); }

}  // namespace dovrel
