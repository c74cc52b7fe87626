// getDrives and its text forms: serials, drive types, byte counts, the space
// of either query; on the sample machines, small inline machines and this
// machine (against statvfs, read here on its own).
#include "agent/collect/modHDrives.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <iostream>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/ThisMachineTesting.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

using namespace quorvane::platform;
using testing::machineFromJson;
using testing::sampleMachine;

DriveInfo drive(const char* root, const char* type, const char* label, const char* serial,
                const char* size, const char* free, const char* used) {
  return DriveInfo{root, type, label, serial, size, free, used, type};
}

TEST(DriveText, SerialsTypesAndByteCounts) {
  EXPECT_EQ(driveSerialText(0x0ABC1234u), "0ABC-1234");
  EXPECT_EQ(driveSerialText(0u), "0000-0000");
  EXPECT_EQ(driveSerialText(0xFFFFFFFFu), "FFFF-FFFF");
  EXPECT_EQ(driveSerialText(std::nullopt), "0000-0000");
  const std::pair<std::uint32_t, const char*> types[] = {
      {0, "Unknown type"}, {1, "Unknown type"},  {2, "Removable drive"}, {3, "Fixed drive"},
      {4, "Network drive"}, {5, "CD-ROM drive"}, {6, "RAM-disk"},        {7, "Unknown type"}};
  for (const auto& [code, text] : types) EXPECT_EQ(driveTypeText(code), text) << code;
  const std::pair<std::int64_t, const char*> counts[] = {
      {0, "0 Bytes"},
      {999, "999 Bytes"},
      {1000, "1,000 Bytes"},
      {20003794944, "20,003,794,944 Bytes"},
      {-1536, "-1,536 Bytes"},
      {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807 Bytes"},
      {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808 Bytes"}};
  for (const auto& [n, text] : counts) EXPECT_EQ(byteCountText(n), text) << n;
}

TEST(DriveText, SpaceFromEitherQuery) {
  DriveFacts wide;
  wide.root = "C:\\";
  wide.driveType = DRIVE_FIXED;
  wide.space = DiskSpace{1000000, 600000, 500000};
  DriveInfo d = driveInfoOf(wide);
  EXPECT_EQ(d.DriveSize, "1,000,000 Bytes");
  EXPECT_EQ(d.DriveFree, "600,000 Bytes");
  EXPECT_EQ(d.DriveUsed, "500,000 Bytes");  // size - available to the caller
  EXPECT_EQ(d.DriveLabel, "NoName");
  EXPECT_EQ(d.DriveSort, "Fixed drive");

  DriveFacts old;
  old.root = "C:\\";
  old.driveType = DRIVE_FIXED;
  old.hasWideSpaceQuery = false;
  old.clusterSpace = ClusterSpace{64, 512, 10000, 131072};  // 4 GiB: beyond 32 bits
  d = driveInfoOf(old);
  EXPECT_EQ(d.DriveSize, "4,294,967,296 Bytes");
  EXPECT_EQ(d.DriveFree, "327,680,000 Bytes");
  EXPECT_EQ(d.DriveUsed, "3,967,287,296 Bytes");

  DriveFacts unreadable;
  unreadable.root = "A:\\";
  unreadable.driveType = DRIVE_REMOVABLE;
  unreadable.volumeLabel = std::string("LABEL\0junk", 10);
  d = driveInfoOf(unreadable);
  EXPECT_EQ(d.DriveSize, "0 Bytes");
  EXPECT_EQ(d.DriveFree, "0 Bytes");
  EXPECT_EQ(d.DriveUsed, "0 Bytes");
  EXPECT_EQ(d.DriveLabel, "LABEL");
  EXPECT_EQ(d.DriveSerial, "0000-0000");
}

TEST(HardwareXP, Drives) {
  auto p = sampleMachine("winxp-pro.json");
  testing::ReportTexts r;
  Array<DriveInfo> d = getDrives(r.on(*p));
  EXPECT_EQ(d, Array<DriveInfo>({
                   drive("A:\\", "Removable drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                   drive("C:\\", "Fixed drive", "SYSTEM", "0ABC-1234", "20,003,794,944 Bytes",
                         "8,123,456,512 Bytes", "12,003,794,944 Bytes"),
                   drive("D:\\", "CD-ROM drive", "WINXP_SP2", "9F3E-0012", "623,702,016 Bytes", "0 Bytes",
                         "623,702,016 Bytes"),
                   drive("Z:\\", "Network drive", "NoName", "E4C2-A001", "107,374,182,400 Bytes",
                         "53,687,091,200 Bytes", "64,424,509,440 Bytes"),
                   DriveInfo()}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareWin98, Drives) {
  auto p = sampleMachine("win98se.json");
  testing::ReportTexts r;
  EXPECT_EQ(getDrives(r.on(*p)),
            Array<DriveInfo>({drive("A:\\", "Removable drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                              drive("C:\\", "Fixed drive", "PC98", "0ABC-1234", "4,293,563,392 Bytes",
                                    "1,211,367,424 Bytes", "3,082,195,968 Bytes"),
                              drive("D:\\", "CD-ROM drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                              DriveInfo()}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, EmptyMachineListsOnlyTheClosingDrive) {
  auto p = machineFromJson("{}");
  testing::ReportTexts r;
  EXPECT_EQ(getDrives(r.on(*p)), Array<DriveInfo>({DriveInfo()}));
  EXPECT_TRUE(r.texts.empty());
}

TEST(HardwareEdge, ClusterSpaceOfAnOldSystem) {
  auto p = machineFromJson(R"({"drives": [{"root": "C:\\", "type": 3, "volumeLabel": "OLD", "serialNumber": 305419896,
    "wideSpaceQuery": false,
    "clusterSpace": {"sectorsPerCluster": 64, "bytesPerSector": 512, "freeClusters": 1000, "totalClusters": 65535}}]})");
  testing::ReportTexts r;
  Array<DriveInfo> d = getDrives(r.on(*p));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0], drive("C:\\", "Fixed drive", "OLD", "1234-5678", "2,147,450,880 Bytes",
                        "32,768,000 Bytes", "2,114,682,880 Bytes"));
}

TEST(HardwareEdge, MissingDriveServiceIsReportedNotFatal) {
  auto p = sampleMachine("winxp-pro.json");
  p->drives.reset();
  testing::ReportTexts r;
  EXPECT_EQ(getDrives(r.on(*p)), Array<DriveInfo>({DriveInfo()}));
  ASSERT_EQ(r.texts.size(), 1u);
  EXPECT_EQ(r.texts[0].rfind("Error in : QuorvanePro.modHDrives.getDrives\r\n\r\nError Number : 91", 0), 0u);
}

TEST(ThisMachine, DrivesAgreeWithStatvfs) {
  auto p = platform::makeNativePlatform();
  testing::ReportTexts r;
  Array<DriveInfo> drives = getDrives(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  ASSERT_GE(drives.size(), 2u);
  EXPECT_EQ(drives[drives.size() - 1], DriveInfo());
  std::set<std::string> mountPoints;
  {
    std::istringstream in(testing::slurp("/proc/self/mounts"));
    std::string dev, point, rest;
    while (in >> dev >> point && std::getline(in, rest)) mountPoints.insert(point);
  }
  bool sawRoot = false;
  for (std::size_t i = 0; i + 1 < drives.size(); ++i) {
    const DriveInfo& d = drives[i];
    SCOPED_TRACE(d.DriveName);
    EXPECT_TRUE(mountPoints.count(d.DriveName));
    for (const char* pseudo : {"/proc", "/sys", "/dev/pts", "/sys/fs/cgroup"}) EXPECT_NE(d.DriveName, pseudo);
    EXPECT_EQ(d.DriveSort, d.DriveType);
    struct statvfs sv {};
    if (::statvfs(d.DriveName.c_str(), &sv) != 0) continue;
    double size = static_cast<double>(sv.f_blocks) * sv.f_frsize;
    double free = static_cast<double>(sv.f_bfree) * sv.f_frsize;
    // root may fill the reserved blocks: its used space is df's (size - free)
    const double usable = static_cast<double>(::geteuid() == 0 ? sv.f_bfree : sv.f_bavail);
    double used = size - usable * sv.f_frsize;
    EXPECT_EQ(testing::figure(d.DriveSize), size);
    EXPECT_NEAR(testing::figure(d.DriveFree), free, 256.0 * 1024 * 1024);  // other programs write meanwhile
    EXPECT_NEAR(testing::figure(d.DriveUsed), used, 256.0 * 1024 * 1024);
    if (d.DriveName == "/") sawRoot = true;
    std::cout << "drive " << d.DriveName << ": " << d.DriveType << ", " << d.DriveSize << " (statvfs "
              << static_cast<unsigned long long>(size) << "), free " << d.DriveFree << ", used " << d.DriveUsed
              << "\n";
  }
  EXPECT_TRUE(sawRoot);
}

}  // namespace
}  // namespace quorvane::agent
