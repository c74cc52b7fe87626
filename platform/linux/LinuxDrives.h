// Linux backend of Drives, with its pure parsers.
//
// Sources: /proc/self/mounts (one drive per mounted file system, pseudo file
// systems left out, a mount point mounted over keeps its first place and
// takes the later entry), /sys/block/<disk>/removable, /dev/disk/by-label and
// /dev/disk/by-uuid (label and serial), statvfs (space: size = f_blocks x
// f_frsize, free = f_bfree x f_frsize, available to the caller = f_bavail x
// f_frsize; for root, which may fill the blocks the file system reserves,
// the free blocks f_bfree, so that size - available is the "used" of df).
// The drive's root is its mount point.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Drives.h"

namespace quorvane::platform::linux_backend {

struct MountEntry {
  std::string device;
  std::string mountPoint;
  std::string fsType;
  std::string options;
  friend bool operator==(const MountEntry&, const MountEntry&) = default;
};

// All entries, octal escapes (\040) decoded, in file order.
std::vector<MountEntry> parseMountsAll(std::string_view text);
// proc, sysfs, cgroup, devpts, ... and tmpfs under /dev, /proc, /sys, /run.
bool isPseudoFileSystem(const MountEntry& entry);
// The drives: pseudo file systems left out, one entry per mount point.
std::vector<MountEntry> parseMounts(std::string_view text);

// The drive type code of a mount; `removable` is the device's removable flag.
std::uint32_t driveTypeOf(const MountEntry& entry, bool removable);

// Volume serial of a file-system UUID: the dashed 32-bit form of FAT
// ("1234-ABCD"), the low 32 bits of an NTFS serial (16 digits), otherwise
// the first 32 bits; nullopt when `uuid` holds fewer than 8 hex digits.
std::optional<std::uint32_t> serialFromUuid(std::string_view uuid);

// Decodes the \xHH escapes udev writes in /dev/disk/by-* names.
std::string decodeUdevName(std::string_view name);

DiskSpace spaceFromStatvfs(std::uint64_t blocks, std::uint64_t freeBlocks,
                           std::uint64_t availBlocks, std::uint64_t fragmentSize,
                           bool callerIsRoot);

// The base block device of a partition device name ("sda1" -> "sda",
// "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0").
std::string baseBlockDevice(std::string_view deviceName);

// Assembles the facts of one drive. `labels` and `uuids` map a device path
// (as resolved) to its label and UUID.
DriveFacts driveFactsFor(const MountEntry& entry, bool removable,
                         const std::map<std::string, std::string>& labels,
                         const std::map<std::string, std::string>& uuids,
                         std::optional<DiskSpace> space);

std::unique_ptr<Drives> makeLinuxDrives(std::string root = "/");

}  // namespace quorvane::platform::linux_backend
