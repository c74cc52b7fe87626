#include "reportlib/clsSoftwareInventory.h"

#include "reportlib/ReportText.h"

namespace dovrel {

clsSoftwareInventory::clsSoftwareInventory(ReportHost host)
    : clsAuditStreamReport("clsSoftwareInventory", "Creating CSV Report ...", std::move(host)) {}

void clsSoftwareInventory::begin(std::ostream& out) {
  std::string header(kUtf8Bom);
  appendCsvRecord(header, {"IP Address", "Host Name", "Domain", "Product", "Version", "Publisher",
                           "Install Location", "Audit Date"});
  out << header;
}

void clsSoftwareInventory::audit(std::ostream& out, const quorvane::AuditRecord& record) {
  const auto& network = record.Hardware.Network;
  std::string rows;
  for (const auto& application : record.Software.Applications) {
    if (!isInstalledApplication(application)) continue;
    appendCsvRecord(rows, {network.IP, network.Hostname, network.DomainName,
                           application.DisplayName, application.DisplayVersion,
                           application.Publisher, application.InstallLocation, record.AuditDate});
  }
  out << rows;
}

void clsSoftwareInventory::end(std::ostream&) {}

}  // namespace dovrel
