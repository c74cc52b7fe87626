// AuditChanges: the part of an audit that the index keeps (a snapshot), and
// what differs between two snapshots of one machine.
//
// Applications are matched by DisplayName (exact): a name only in the new
// audit is "installed", only in the old one "removed"; the same name with
// another DisplayVersion is "upgraded" or "downgraded" by compareVersions.
// A name listed several times is compared as a bag of versions: versions on
// both sides cancel out, what is left pairs up oldest with oldest when both
// sides keep the same count, else is installed or removed. A renamed
// application is the old name removed and the new one installed. Elements
// with an empty DisplayName (the closing element) are skipped.
//
// Hardware and system: "os" (OperatingSystem and Version), "processor"
// (CPUVersion, CPUClass, NumberOfCPUs), "memory" (TotalPhysicalMemory),
// and per drive (matched by DriveName, the closing empty element skipped)
// "drive added", "drive removed", "drive resized" (DriveSize).
// Changes come in a fixed order: system, processor, memory, drives (by
// name), applications (by name). Pure.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/AuditRecord.h"

namespace quorvane {

namespace change {
inline constexpr std::string_view kInstalled = "installed";
inline constexpr std::string_view kRemoved = "removed";
inline constexpr std::string_view kUpgraded = "upgraded";
inline constexpr std::string_view kDowngraded = "downgraded";
inline constexpr std::string_view kOs = "os";
inline constexpr std::string_view kProcessor = "processor";
inline constexpr std::string_view kMemory = "memory";
inline constexpr std::string_view kDriveAdded = "drive added";
inline constexpr std::string_view kDriveRemoved = "drive removed";
inline constexpr std::string_view kDriveResized = "drive resized";
inline constexpr std::string_view kMoved = "moved";  // written by the index
}  // namespace change

struct AuditChange {
  std::string kind;      // one of change::k...
  std::string subject;   // application or drive name; empty for os/processor/memory
  std::string oldValue;  // version, size or text before; empty when added
  std::string newValue;  // after; empty when removed
  friend bool operator==(const AuditChange&, const AuditChange&) = default;
};

struct IndexedApplication {
  std::string name, version, publisher;
  friend bool operator==(const IndexedApplication&, const IndexedApplication&) = default;
};

struct MachineSnapshot {
  std::string os;         // OperatingSystem + " " + Version
  std::string processor;  // CPUVersion, CPUClass, NumberOfCPUs + " CPU"
  std::string memory;     // TotalPhysicalMemory
  std::map<std::string, std::string> drives;  // DriveName -> DriveSize (real drives)
  std::vector<IndexedApplication> applications;  // without the closing element
};

// Without `withApplications`, the applications are left empty.
MachineSnapshot snapshotOf(const AuditRecord& record, bool withApplications = true);

// "C:\ 20,003,794,944 Bytes; D:\ ..." in drive-name order.
std::string drivesText(const MachineSnapshot& snapshot);

std::vector<AuditChange> diffSnapshots(const MachineSnapshot& before, const MachineSnapshot& after);

}  // namespace quorvane
