#include "reportlib/clsComputerSummary.h"

#include <algorithm>

#include "reportlib/ReportText.h"

namespace dovrel {

std::string drivesCell(const quorvane::AuditRecord& record) {
  std::string cell;
  for (const auto& drive : record.Hardware.Drives) {
    if (!isDrive(drive)) continue;
    if (!cell.empty()) cell += "; ";
    cell += drive.DriveName + " " + drive.DriveSize + " (" + drive.DriveFree + " free)";
  }
  return cell;
}

clsComputerSummary::clsComputerSummary(ReportHost host)
    : clsAuditStreamReport("clsComputerSummary", "Creating CSV Report ...", std::move(host)) {}

void clsComputerSummary::begin(std::ostream& out) {
  std::string header(kUtf8Bom);
  appendCsvRecord(header, {"IP Address", "Host Name", "Domain", "User", "Operating System",
                           "Version", "Processor", "Processor Vendor", "CPU Speed",
                           "Number of CPUs", "Memory", "Drives", "Number of Applications",
                           "Audit Date"});
  out << header;
}

void clsComputerSummary::audit(std::ostream& out, const quorvane::AuditRecord& record) {
  const auto& network = record.Hardware.Network;
  const auto& windows = record.Software.Windows;
  const auto& processor = record.Hardware.Processor;
  const auto& apps = record.Software.Applications;
  const std::string applications =
      std::to_string(std::count_if(apps.begin(), apps.end(), isInstalledApplication));
  std::string row;
  appendCsvRecord(row, {network.IP, network.Hostname, network.DomainName, network.UserName,
                        windows.OperatingSystem, windows.Version, processor.CPUClass,
                        processor.CPUVersion, processor.CPUSpeed, processor.NumberOfCPUs,
                        record.Hardware.Memory.TotalPhysicalMemory, drivesCell(record),
                        applications, record.AuditDate});
  out << row;
}

void clsComputerSummary::end(std::ostream&) {}

}  // namespace dovrel
