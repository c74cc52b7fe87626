// Drives: the logical drives (GetLogicalDriveStringsA) with their type,
// volume label and serial, and their space.
//
// Drive types are the system's codes: 2 removable, 3 fixed, 4 network,
// 5 CD-ROM, 6 RAM-disk, 0/1 unknown. `volumeLabel` and `serialNumber` are
// nullopt when the volume cannot be read. Space comes from the wide query
// (GetDiskFreeSpaceExA) where the system has it, otherwise from the cluster
// query (GetDiskFreeSpaceA); either is nullopt when the drive cannot be read.
// Texts are 8-bit (Windows-1252).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::platform {

struct DiskSpace {
  std::uint64_t totalBytes = 0;
  std::uint64_t totalFreeBytes = 0;
  std::uint64_t freeBytesAvailable = 0;  // to the caller
  friend bool operator==(const DiskSpace&, const DiskSpace&) = default;
};

struct ClusterSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
  std::uint32_t totalClusters = 0;
  friend bool operator==(const ClusterSpace&, const ClusterSpace&) = default;
};

inline constexpr std::uint32_t DRIVE_UNKNOWN = 0;
inline constexpr std::uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr std::uint32_t DRIVE_REMOVABLE = 2;
inline constexpr std::uint32_t DRIVE_FIXED = 3;
inline constexpr std::uint32_t DRIVE_REMOTE = 4;
inline constexpr std::uint32_t DRIVE_CDROM = 5;
inline constexpr std::uint32_t DRIVE_RAMDISK = 6;

struct DriveFacts {
  std::string root;  // "C:\" (Windows) or the mount point
  std::uint32_t driveType = DRIVE_UNKNOWN;
  std::optional<std::string> volumeLabel;
  std::optional<std::uint32_t> serialNumber;
  bool hasWideSpaceQuery = true;
  std::optional<DiskSpace> space;           // when hasWideSpaceQuery
  std::optional<ClusterSpace> clusterSpace;  // otherwise
  friend bool operator==(const DriveFacts&, const DriveFacts&) = default;
};

class Drives {
 public:
  virtual ~Drives() = default;
  // In the order the system lists them; empty when the list cannot be read.
  virtual std::vector<DriveFacts> list() const = 0;
};

}  // namespace quorvane::platform
