// Change detection between two snapshots of one machine: one named row per
// kind of change, and the snapshot of a record (closing elements skipped).
#include "server/core/AuditChanges.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorvane {
namespace {

MachineSnapshot base() {
  MachineSnapshot s;
  s.os = "Microsoft Windows 98 4.10 A Build 2222";
  s.processor = "GenuineIntel, x86 Family 6, 1 CPU";
  s.memory = "130,472 KBytes";
  s.drives = {{"A:\\", "1,457,664 Bytes"}, {"C:\\", "20,003,794,944 Bytes"}};
  s.applications = {{"Mozilla Firefox", "119.0.1", "Mozilla"},
                    {"7-Zip", "9.20", "Igor Pavlov"},
                    {"WinZip 8.0", "8.0", ""}};
  return s;
}

struct ChangeRow {
  const char* name;
  std::function<void(MachineSnapshot&)> change;
  std::vector<AuditChange> expected;
};

const ChangeRow kRows[] = {
    {"nothing_changed", [](MachineSnapshot&) {}, {}},
    {"install", [](MachineSnapshot& s) { s.applications.push_back({"Adobe Reader", "7.0", "Adobe"}); },
     {{"installed", "Adobe Reader", "", "7.0"}}},
    {"remove", [](MachineSnapshot& s) { s.applications.erase(s.applications.begin() + 1); },
     {{"removed", "7-Zip", "9.20", ""}}},
    {"upgrade", [](MachineSnapshot& s) { s.applications[0].version = "120.0"; },
     {{"upgraded", "Mozilla Firefox", "119.0.1", "120.0"}}},
    {"downgrade", [](MachineSnapshot& s) { s.applications[1].version = "4.65"; },
     {{"downgraded", "7-Zip", "9.20", "4.65"}}},
    {"same_version_listed_twice", [](MachineSnapshot& s) { s.applications.push_back(s.applications[1]); },
     {{"installed", "7-Zip", "", "9.20"}}},
    {"second_version_beside_first",
     [](MachineSnapshot& s) { s.applications.push_back({"7-Zip", "16.02", "Igor Pavlov"}); },
     {{"installed", "7-Zip", "", "16.02"}}},
    {"renamed", [](MachineSnapshot& s) { s.applications[2].name = "WinZip 8.1"; },
     {{"removed", "WinZip 8.0", "8.0", ""}, {"installed", "WinZip 8.1", "", "8.0"}}},
    {"publisher_only_is_no_change", [](MachineSnapshot& s) { s.applications[2].publisher = "WinZip Computing"; },
     {}},
    {"reordered_is_no_change", [](MachineSnapshot& s) { std::swap(s.applications[0], s.applications[2]); }, {}},
    {"memory", [](MachineSnapshot& s) { s.memory = "261,544 KBytes"; },
     {{"memory", "", "130,472 KBytes", "261,544 KBytes"}}},
    {"drive_added", [](MachineSnapshot& s) { s.drives["D:\\"] = "650,000,000 Bytes"; },
     {{"drive added", "D:\\", "", "650,000,000 Bytes"}}},
    {"drive_removed", [](MachineSnapshot& s) { s.drives.erase("A:\\"); },
     {{"drive removed", "A:\\", "1,457,664 Bytes", ""}}},
    {"drive_resized", [](MachineSnapshot& s) { s.drives["C:\\"] = "40,007,589,888 Bytes"; },
     {{"drive resized", "C:\\", "20,003,794,944 Bytes", "40,007,589,888 Bytes"}}},
    {"os_version", [](MachineSnapshot& s) { s.os = "Microsoft Windows 98 Second Edition 4.10 A Build 2222"; },
     {{"os", "", "Microsoft Windows 98 4.10 A Build 2222", "Microsoft Windows 98 Second Edition 4.10 A Build 2222"}}},
    {"processor", [](MachineSnapshot& s) { s.processor = "GenuineIntel, x86 Family 6, 2 CPU"; },
     {{"processor", "", "GenuineIntel, x86 Family 6, 1 CPU", "GenuineIntel, x86 Family 6, 2 CPU"}}},
    {"several_in_fixed_order",
     [](MachineSnapshot& s) {
       s.applications[0].version = "120.0";
       s.applications.erase(s.applications.begin() + 1);
       s.memory = "1 KBytes";
     },
     {{"memory", "", "130,472 KBytes", "1 KBytes"},
      {"removed", "7-Zip", "9.20", ""},
      {"upgraded", "Mozilla Firefox", "119.0.1", "120.0"}}},
};

class ChangeDetectionTest : public ::testing::TestWithParam<ChangeRow> {};

TEST_P(ChangeDetectionTest, FindsExactlyTheChange) {
  MachineSnapshot after = base();
  GetParam().change(after);
  EXPECT_EQ(diffSnapshots(base(), after), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ChangeDetectionTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChangeDetectionTest, TwoVersionsOfOneNameUpgradedPairwise) {
  MachineSnapshot before = base(), after = base();
  before.applications.push_back({"VC Runtime", "8.0", ""});
  before.applications.push_back({"VC Runtime", "9.0", ""});
  after.applications.push_back({"VC Runtime", "8.0.1", ""});
  after.applications.push_back({"VC Runtime", "9.0.1", ""});
  const std::vector<AuditChange> expected = {{"upgraded", "VC Runtime", "8.0", "8.0.1"},
                                             {"upgraded", "VC Runtime", "9.0", "9.0.1"}};
  EXPECT_EQ(diffSnapshots(before, after), expected);
}

TEST(SnapshotTest, SkipsClosingElementsAndJoinsTexts) {
  AuditRecord r;
  r.Software.Windows.OperatingSystem = "Microsoft Windows 98";
  r.Software.Windows.Version = "4.10 A Build 2222";
  r.Software.Applications = Array<ApplicationInfo>({{"7-Zip", "", "Igor", "", "9.20", ""}, {"", "u", "p", "", "1", ""}});
  DriveInfo c{"C:\\", "Fixed drive", "NoName", "0000-0000", "1 Bytes", "", "", "Fixed drive"};
  r.Hardware.Drives = Array<DriveInfo>({c, DriveInfo{}});
  r.Hardware.Memory.TotalPhysicalMemory = "64 KBytes";
  const MachineSnapshot s = snapshotOf(r);
  EXPECT_EQ(s.os, "Microsoft Windows 98 4.10 A Build 2222");
  ASSERT_EQ(s.applications.size(), 1u);
  EXPECT_EQ(s.applications[0], (IndexedApplication{"7-Zip", "9.20", "Igor"}));
  EXPECT_EQ(drivesText(s), "C:\\ 1 Bytes");
  EXPECT_EQ(s.memory, "64 KBytes");
}

}  // namespace
}  // namespace quorvane
