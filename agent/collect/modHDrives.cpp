#include "agent/collect/modHDrives.h"

#include <cstdio>

namespace quorvane::agent {

std::string driveTypeText(std::uint32_t type) {
  switch (type) {
    case platform::DRIVE_REMOVABLE: return "Removable drive";
    case platform::DRIVE_FIXED: return "Fixed drive";
    case platform::DRIVE_REMOTE: return "Network drive";
    case platform::DRIVE_CDROM: return "CD-ROM drive";
    case platform::DRIVE_RAMDISK: return "RAM-disk";
    default: return "Unknown type";
  }
}

std::string driveSerialText(std::optional<std::uint32_t> serial) {
  if (!serial) return "0000-0000";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04X-%04X", *serial >> 16, *serial & 0xFFFF);
  return buf;
}

std::string byteCountText(std::int64_t bytes) {
  bool negative = bytes < 0;
  std::uint64_t v = negative ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
  std::string digits = std::to_string(v);
  std::string out;
  int n = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (n > 0 && n % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++n;
  }
  if (negative) out.insert(out.begin(), '-');
  return out + " Bytes";
}

DriveInfo driveInfoOf(const platform::DriveFacts& f) {
  DriveInfo d;
  d.DriveName = f.root;
  d.DriveType = driveTypeText(f.driveType);
  d.DriveSort = d.DriveType;
  std::string label = f.volumeLabel.value_or(std::string());
  label = label.substr(0, label.find('\0'));
  d.DriveLabel = label.empty() ? "NoName" : label;
  d.DriveSerial = driveSerialText(f.serialNumber);
  std::int64_t size = 0, free = 0, used = 0;
  if (f.hasWideSpaceQuery) {
    if (f.space) {
      size = static_cast<std::int64_t>(f.space->totalBytes);
      free = static_cast<std::int64_t>(f.space->totalFreeBytes);
      used = size - static_cast<std::int64_t>(f.space->freeBytesAvailable);
    }
  } else if (f.clusterSpace) {
    const auto& c = *f.clusterSpace;
    std::int64_t cluster = static_cast<std::int64_t>(c.sectorsPerCluster) * c.bytesPerSector;
    size = cluster * c.totalClusters;
    free = cluster * c.freeClusters;
    used = size - free;
  }
  d.DriveSize = byteCountText(size);
  d.DriveFree = byteCountText(free);
  d.DriveUsed = byteCountText(used);
  return d;
}

Array<DriveInfo> getDrives(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  Array<DriveInfo> drives;
  runCollector(ctx, "modHDrives", "getDrives", [&] {
    if (!p.drives) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    for (const auto& f : p.drives->list()) drives.push_back(driveInfoOf(f));
  }, OtherFailures::kInvalidCall);
  drives.push_back(DriveInfo());  // the closing empty element
  return drives;
}

}  // namespace quorvane::agent
