#include "server/core/AuditChanges.h"

#include <algorithm>

#include "server/core/VersionOrder.h"

namespace quorvane {
namespace {

using Versions = std::vector<std::string>;

std::string processorText(const ProcessorInfo& p) {
  std::string text = p.CPUVersion;
  if (!p.CPUClass.empty()) text += ", " + p.CPUClass;
  if (!p.NumberOfCPUs.empty()) text += ", " + p.NumberOfCPUs + " CPU";
  return text;
}

std::string osText(const WindowsInfo& w) {
  if (w.Version.empty()) return w.OperatingSystem;
  return w.OperatingSystem + " " + w.Version;
}

bool versionBefore(const std::string& a, const std::string& b) {
  const int c = compareVersions(a, b);
  return c < 0 || (c == 0 && a < b);
}

std::map<std::string, Versions> versionsByName(const MachineSnapshot& s) {
  std::map<std::string, Versions> out;
  for (const IndexedApplication& app : s.applications) out[app.name].push_back(app.version);
  for (auto& [name, versions] : out) std::sort(versions.begin(), versions.end(), versionBefore);
  return out;
}

void addIfDiffers(std::vector<AuditChange>& out, std::string_view kind, const std::string& before,
                  const std::string& after) {
  if (before != after) out.push_back({std::string(kind), {}, before, after});
}

// Walks the union of two maps' keys in order: f(key, before or null, after or null).
template <class V, class F>
void forUnion(const std::map<std::string, V>& was, const std::map<std::string, V>& now, F f) {
  auto a = was.begin(), b = now.begin();
  while (a != was.end() || b != now.end()) {
    if (b == now.end() || (a != was.end() && a->first < b->first)) {
      f(a->first, &a->second, nullptr), ++a;
    } else if (a == was.end() || b->first < a->first) {
      f(b->first, nullptr, &b->second), ++b;
    } else {
      f(a->first, &a->second, &b->second), ++a, ++b;
    }
  }
}

void diffDrives(const MachineSnapshot& before, const MachineSnapshot& after, std::vector<AuditChange>& out) {
  forUnion(before.drives, after.drives, [&](const std::string& name, const std::string* was, const std::string* now) {
    if (!now) {
      out.push_back({std::string(change::kDriveRemoved), name, *was, {}});
    } else if (!was) {
      out.push_back({std::string(change::kDriveAdded), name, {}, *now});
    } else if (*was != *now) {
      out.push_back({std::string(change::kDriveResized), name, *was, *now});
    }
  });
}

// Removes the versions both sorted bags hold, keeping the order of the rest.
void cancelCommon(Versions& a, Versions& b) {
  Versions restA, restB;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i] == b[j]) {
      ++i, ++j;
    } else if (versionBefore(a[i], b[j])) {
      restA.push_back(a[i++]);
    } else {
      restB.push_back(b[j++]);
    }
  }
  restA.insert(restA.end(), a.begin() + static_cast<long>(i), a.end());
  restB.insert(restB.end(), b.begin() + static_cast<long>(j), b.end());
  a = std::move(restA);
  b = std::move(restB);
}

void diffApplication(const std::string& name, Versions was, Versions now, std::vector<AuditChange>& out) {
  cancelCommon(was, now);
  if (was.size() == now.size()) {
    for (std::size_t k = 0; k < was.size(); ++k) {
      const bool down = compareVersions(was[k], now[k]) > 0;
      out.push_back({std::string(down ? change::kDowngraded : change::kUpgraded), name, was[k], now[k]});
    }
    return;
  }
  for (const std::string& v : was) out.push_back({std::string(change::kRemoved), name, v, {}});
  for (const std::string& v : now) out.push_back({std::string(change::kInstalled), name, {}, v});
}

}  // namespace

MachineSnapshot snapshotOf(const AuditRecord& record, bool withApplications) {
  MachineSnapshot s;
  s.os = osText(record.Software.Windows);
  s.processor = processorText(record.Hardware.Processor);
  s.memory = record.Hardware.Memory.TotalPhysicalMemory;
  for (const DriveInfo& d : record.Hardware.Drives) {
    if (!d.DriveName.empty()) s.drives[d.DriveName] = d.DriveSize;
  }
  if (!withApplications) return s;
  for (const ApplicationInfo& app : record.Software.Applications) {
    if (!app.DisplayName.empty()) s.applications.push_back({app.DisplayName, app.DisplayVersion, app.Publisher});
  }
  return s;
}

std::string drivesText(const MachineSnapshot& snapshot) {
  std::string text;
  for (const auto& [name, size] : snapshot.drives) {
    if (!text.empty()) text += "; ";
    text += name + " " + size;
  }
  return text;
}

std::vector<AuditChange> diffSnapshots(const MachineSnapshot& before, const MachineSnapshot& after) {
  std::vector<AuditChange> out;
  addIfDiffers(out, change::kOs, before.os, after.os);
  addIfDiffers(out, change::kProcessor, before.processor, after.processor);
  addIfDiffers(out, change::kMemory, before.memory, after.memory);
  diffDrives(before, after, out);
  const Versions none;
  forUnion(versionsByName(before), versionsByName(after), [&](const std::string& name, const Versions* was,
                                                              const Versions* now) {
    diffApplication(name, was ? *was : none, now ? *now : none, out);
  });
  return out;
}

}  // namespace quorvane
