// The drives of the Linux backend: the mount table, drive types, serials,
// labels and space, fed with the sample files and the sample machine root.
#include "platform/linux/LinuxDrives.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxMounts, PseudoFileSystemsLeftOutMountedOverKeepsItsPlace) {
  auto drives = parseMounts(sample("mounts"));
  std::vector<std::string> points;
  for (const auto& d : drives) points.push_back(d.mountPoint);
  EXPECT_EQ(points, (std::vector<std::string>{"/", "/tmp", "/boot/efi", "/media/anna/USB STICK",
                                              "/media/anna/DEBIAN_12", "/home", "/mnt/public", "/srv"}));
  EXPECT_EQ(drives.back().fsType, "xfs");  // the later mount over /srv
  EXPECT_EQ(drives.back().device, "/dev/mapper/vg-srv");
  EXPECT_EQ(parseMountsAll(sample("mounts")).size(), 19u);
  EXPECT_TRUE(parseMounts("").empty());
  EXPECT_TRUE(parseMounts("onlyonefield\n\n  \n").empty());
  auto escaped = parseMountsAll("/dev/sda1 /a\\040b\\011c\\134d ext4 rw 0 0\n/dev/x /e\\04 ext4 rw\n");
  ASSERT_EQ(escaped.size(), 2u);
  EXPECT_EQ(escaped[0].mountPoint, "/a b\tc\\d");
  EXPECT_EQ(escaped[1].mountPoint, "/e\\04");  // a broken escape stays as it is
}

TEST(LinuxMounts, DriveTypes) {
  struct Row { const char* device; const char* point; const char* type; bool removable; std::uint32_t code; };
  const Row rows[] = {
      {"/dev/nvme0n1p2", "/", "ext4", false, DRIVE_FIXED},
      {"tmpfs", "/tmp", "tmpfs", false, DRIVE_RAMDISK},
      {"/dev/zram0", "/var/cache", "ext4", false, DRIVE_RAMDISK},
      {"/dev/sdb1", "/media/u/STICK", "vfat", true, DRIVE_REMOVABLE},
      {"/dev/sr0", "/media/u/CD", "iso9660", true, DRIVE_CDROM},
      {"/dev/sr0", "/media/u/BD", "udf", false, DRIVE_CDROM},
      {"server:/x", "/home", "nfs4", false, DRIVE_REMOTE},
      {"//192.0.2.20/p", "/mnt/p", "cifs", false, DRIVE_REMOTE},
      {"u@host:", "/mnt/s", "fuse.sshfs", false, DRIVE_REMOTE},
      {"overlay", "/", "overlay", false, DRIVE_FIXED},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(driveTypeOf({r.device, r.point, r.type, ""}, r.removable), r.code) << r.point << " " << r.type;
  }
  EXPECT_TRUE(isPseudoFileSystem({"tmpfs", "/run/user/1000", "tmpfs", ""}));
  EXPECT_TRUE(isPseudoFileSystem({"tmpfs", "/dev/shm", "tmpfs", ""}));
  EXPECT_FALSE(isPseudoFileSystem({"tmpfs", "/running", "tmpfs", ""}));  // not under /run
  EXPECT_TRUE(isPseudoFileSystem({"lxcfs", "/proc/cpuinfo", "fuse.lxcfs", ""}));
}

TEST(LinuxMounts, SerialsLabelsAndSpace) {
  struct Row { const char* uuid; std::optional<std::uint32_t> serial; };
  const Row rows[] = {{"1234-ABCD", 0x1234ABCDu},
                      {"f81d4fae-7dec-11d0-a765-00a0c91e6bf6", 0xF81D4FAEu},
                      {"0123456789ABCDEF", 0x89ABCDEFu},
                      {"12", std::nullopt},
                      {"", std::nullopt},
                      {"zz-12345678", std::nullopt}};
  for (const auto& r : rows) EXPECT_EQ(serialFromUuid(r.uuid), r.serial) << r.uuid;
  EXPECT_EQ(decodeUdevName("USB\\x20STICK"), "USB STICK");
  EXPECT_EQ(decodeUdevName("a\\x2"), "a\\x2");
  EXPECT_EQ(decodeUdevName("\\xzz"), "\\xzz");

  struct SpaceRow {
    const char* name;
    bool root;
    DiskSpace expected;
  } spaceRows[] = {
      {"a user may not fill the reserved blocks", false, {4096000u, 1228800u, 1024000u}},
      {"root may: every free block is available", true, {4096000u, 1228800u, 1228800u}},
  };
  for (const auto& r : spaceRows) EXPECT_EQ(spaceFromStatvfs(1000, 300, 250, 4096, r.root), r.expected) << r.name;
  const DiskSpace s = spaceRows[0].expected;

  struct Dev { const char* name; const char* base; };
  const Dev devs[] = {{"/dev/sda1", "sda"}, {"sdb", "sdb"}, {"/dev/nvme0n1p2", "nvme0n1"},
                      {"/dev/nvme0n1", "nvme0n1"}, {"/dev/mmcblk0p1", "mmcblk0"}, {"/dev/vda", "vda"}};
  for (const auto& d : devs) EXPECT_EQ(baseBlockDevice(d.name), d.base) << d.name;

  MountEntry usb{"/dev/sdb1", "/media/anna/USB STICK", "vfat", ""};
  DriveFacts f = driveFactsFor(usb, true, {{"/dev/sdb1", "USB STICK"}}, {{"/dev/sdb1", "1234-ABCD"}}, s);
  EXPECT_EQ(f.root, "/media/anna/USB STICK");
  EXPECT_EQ(f.driveType, DRIVE_REMOVABLE);
  EXPECT_EQ(f.volumeLabel, "USB STICK");
  EXPECT_EQ(f.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(f.space, s);
  DriveFacts bare = driveFactsFor({"/dev/vda", "/", "ext4", ""}, false, {}, {}, std::nullopt);
  EXPECT_FALSE(bare.volumeLabel);
  EXPECT_FALSE(bare.serialNumber);
  EXPECT_FALSE(bare.space);
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
