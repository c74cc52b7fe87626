#include "agent/collect/modSWindows.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using platform::OsVersionBasic;
using platform::OsVersionExtended;

OsVersionBasic basicOf(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                       std::uint32_t platformId, std::string csd) {
  OsVersionBasic b;
  b.majorVersion = major;
  b.minorVersion = minor;
  b.buildNumber = build;
  b.platformId = platformId;
  b.csdVersion = std::move(csd);
  return b;
}

OsVersionExtended extendedOf(std::uint16_t suite, std::uint8_t productType,
                             std::uint16_t spMajor = 0, std::uint16_t spMinor = 0) {
  OsVersionExtended e;
  e.suiteMask = suite;
  e.productType = productType;
  e.servicePackMajor = spMajor;
  e.servicePackMinor = spMinor;
  return e;
}

TEST(ModSWindows, OperatingSystemWordsAndSuites) {
  struct Row {
    const char* name;
    OsVersionBasic basic;
    OsVersionExtended extended;
    bool plus;
    const char* expected;
  } rows[] = {
      {"2000", basicOf(5, 0, 2195, 2, ""), extendedOf(0, 0), false, "Microsoft Windows 2000"},
      {"XP professional", basicOf(5, 1, 2600, 2, "Service Pack 2"), extendedOf(0, 1), false,
       "Microsoft Windows XP Professional"},
      {"XP with suite 0x110 adds no words", basicOf(5, 1, 2600, 2, ""), extendedOf(0x110, 1), false,
       "Microsoft Windows XP Professional"},
      {"NT 4 server", basicOf(4, 0, 1381, 2, "Service Pack 6"), extendedOf(0, 3), false,
       "Microsoft Windows NT Server"},
      {"2000 advanced server", basicOf(5, 0, 2195, 2, ""), extendedOf(2, 3), false,
       "Microsoft Windows 2000 Server Advanced Server"},
      {"small business", basicOf(5, 0, 2195, 2, ""), extendedOf(1, 3), false,
       "Microsoft Windows 2000 Server Small Business Server"},
      {"backoffice", basicOf(5, 0, 2195, 2, ""), extendedOf(4, 3), false,
       "Microsoft Windows 2000 Server BackOffice"},
      {"terminal services", basicOf(5, 0, 2195, 2, ""), extendedOf(16, 3), false,
       "Microsoft Windows 2000 Server Terminal Services"},
      {"restricted sbs", basicOf(5, 0, 2195, 2, ""), extendedOf(32, 3), false,
       "Microsoft Windows 2000 Server Small Business Server with the restrictive client license in force"},
      {"datacenter", basicOf(5, 0, 2195, 2, ""), extendedOf(128, 3), false,
       "Microsoft Windows 2000 Server DataCenter Server"},
      {"domain controller adds nothing", basicOf(5, 0, 2195, 2, ""), extendedOf(0, 2), false,
       "Microsoft Windows 2000"},
      {"98", basicOf(4, 10, 0x040A07CE, 1, ""), extendedOf(0, 0), false, "Microsoft Windows 98"},
      {"98 second edition", basicOf(4, 10, 0x040A08AE, 1, " A "), extendedOf(0, 0), false,
       "Microsoft Windows 98 Second Edition"},
      {"98 with another letter", basicOf(4, 10, 0, 1, " B"), extendedOf(0, 0), false,
       "Microsoft Windows 98"},
      {"ME", basicOf(4, 90, 3000, 1, " "), extendedOf(0, 0), false, "Microsoft Windows ME"},
      {"95", basicOf(4, 0, 950, 1, ""), extendedOf(0, 0), false, "Microsoft Windows 95"},
      {"95 OSR2", basicOf(4, 0, 1111, 1, " C"), extendedOf(0, 0), false,
       "Microsoft Windows 95 OEM Service Release 2"},
      {"95 with Plus!", basicOf(4, 0, 950, 1, ""), extendedOf(0, 0), true,
       "Microsoft Windows 95 with Windows Plus!"},
      {"95 OSR2 gets no Plus! words", basicOf(4, 0, 1111, 1, " C"), extendedOf(0, 0), true,
       "Microsoft Windows 95 OEM Service Release 2"},
      {"98 gets no Plus! words", basicOf(4, 10, 0, 1, ""), extendedOf(0, 0), true,
       "Microsoft Windows 98"},
      {"unknown 9x", basicOf(3, 95, 0, 1, ""), extendedOf(0, 0), false, ""},
      {"win32s", basicOf(3, 10, 0, 0, ""), extendedOf(0, 0), false, ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(operatingSystemText(r.basic, r.extended, r.plus), r.expected) << r.name;
}

TEST(ModSWindows, VersionTexts) {
  struct Row {
    const char* name;
    OsVersionBasic basic;
    OsVersionExtended extended;
    const char* expected;
  } rows[] = {
      {"98 SE", basicOf(4, 10, 0x040A08AE, 1, " A "), {}, "4.10 A Build 2222"},
      {"2000 without service pack", basicOf(5, 0, 2195, 2, ""), extendedOf(0, 1),
       "5.00 Build 2195 Service Pack  0.0"},
      {"XP SP2", basicOf(5, 1, 2600, 2, "Service Pack 2"), extendedOf(0, 1, 2, 0),
       "5.1Se Build 2600 Service Pack  2.0"},
      {"95: minor 0 gets its 0", basicOf(4, 0, 0x040003B6, 1, ""), {}, "4.00 Build 950"},
      {"CSD cut at its NUL", basicOf(4, 90, 3000, 1, std::string(" \0X", 3)), {}, "4.90  Build 3000"},
      {"one-character CSD", basicOf(4, 90, 3000, 1, "Z"), {}, "4.90Z Build 3000"},
  };
  for (const auto& r : rows) EXPECT_EQ(versionText(r.basic, r.extended), r.expected) << r.name;
}

TEST(ModSWindows, UptimeWords) {
  struct Row {
    std::uint64_t ms;
    const char* expected;
  } rows[] = {
      {90061001, "1 day, 1 hour, 1 minute, 1 second, 1 ms"},
      {0, "0 days, 0 hours, 0 minutes, 0 seconds, 0ms"},
      {43200000, "0 days, 12 hours, 0 minutes, 0 seconds, 0ms"},
      {10872250, "0 days, 3 hours, 1 minute, 12 seconds, 250ms"},
      {2147483648ull, "24 days, 20 hours, 31 minutes, 23 seconds, 648ms"},
      {4294967295ull, "49 days, 17 hours, 2 minutes, 47 seconds, 295ms"},
      {86400000ull * 400 + 2, "400 days, 0 hours, 0 minutes, 0 seconds, 2ms"},
  };
  for (const auto& r : rows) EXPECT_EQ(uptimeText(r.ms), r.expected) << r.ms;
}

const char* kNt = R"({
  "version": {"majorVersion": 5, "minorVersion": 0, "buildNumber": 2195, "platformId": 2,
              "extended": {"productType": 1}},
  "systemMetrics": {"SM_DEBUG": 1, "SM_DBCSENABLED": 2, "SM_CLEANBOOT": 2, "SM_MIDEASTENABLED": 1,
                    "SM_PENWINDOWS": 1, "SM_SECURE": 1, "SM_SHOWSOUNDS": 1,
                    "SM_MENUDROPALIGNMENT": 1, "SM_NETWORK": 2},
  "systemParameters": {"SPI_GETSCREENREADER": 1},
  "tickCount": 90061001,
  "environment": {"Path": "%PATH%", "COMSPEC": "C:\\WINNT\\system32\\cmd.exe", "PROMPT": "$P$G"},
  "iniFiles": {"system.ini": {"386Enh": {"PagingDrive": ""}},
               "msdos.sys": {"Options": {"BootGUI": "1", "AutoScan": "2", "Logo": "1 ", "DrvSpace": "1"}}},
  "registry": {
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion": {
      "RegisteredOwner": {"type": "REG_SZ", "value": "Owner"},
      "ProductKey": {"type": "REG_SZ", "value": "ABCDE-FGHIJ"},
      "ProductId": {"type": "REG_SZ", "value": "51873-OEM-0000007-00000"}},
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion": {
      "RegisteredOrganization": {"type": "REG_SZ", "value": "wrong key"}},
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Shutdown": {
      "FastReboot": {"type": "REG_DWORD", "value": 255}}
  }
})";

TEST(ModSWindows, GetWindowsOnAnNtMachine) {
  std::string json = kNt;
  const std::string path = "C:\\WINNT\\system32;C:\\WINNT;C:\\WINNT\\System32\\Wbem;" +
                           std::string(200, 'p');
  json.replace(json.find("%PATH%"), 6, "C:\\\\WINNT\\\\system32;C:\\\\WINNT;C:\\\\WINNT\\\\System32\\\\Wbem;" +
                                           std::string(200, 'p'));
  auto m = testing::machineFromJson(json);
  testing::Recorder rec;
  WindowsInfo w = getWindows(rec.context(*m));
  EXPECT_TRUE(rec.reports.empty());
  EXPECT_EQ(w.OperatingSystem, "Microsoft Windows 2000 Professional");
  EXPECT_EQ(w.Version, "5.00 Build 2195 Service Pack  0.0");
  EXPECT_EQ(w.RegisteredOwner, "Owner");
  EXPECT_EQ(w.RegisteredOrganization, "Unknown or None");  // read from the NT key only
  EXPECT_EQ(w.ProductKey, "ABCDE-FGHIJ");
  EXPECT_EQ(w.WindowsID, "51873-OEM-0000007-00000");
  EXPECT_EQ(w.EnhancementPack, "Unknown or None");
  EXPECT_EQ(w.DebugVersionOfUser, Flag(true));
  EXPECT_EQ(w.DBCSVersionOfUser, Flag(true));
  EXPECT_EQ(w.WindowsBoot, 2);
  EXPECT_EQ(w.HebrewAndArabic, Flag(true));
  EXPECT_EQ(w.WindowsForPen, Flag(true));
  EXPECT_EQ(w.Security, Flag(true));
  EXPECT_EQ(w.ScreenReviewer.raw, 1);  // 1, not -1
  EXPECT_EQ(w.ShowSounds, Flag(true));
  EXPECT_EQ(w.DropDownMenusRightAligned, Flag(true));
  EXPECT_EQ(w.NetworkConnection, Flag(false));  // 2: the lowest bit is clear
  EXPECT_EQ(w.FastBoot, "&HFF");
  EXPECT_EQ(w.BootToGUI, Flag(true));
  EXPECT_EQ(w.Autoscan, Flag(false));
  EXPECT_EQ(w.ShowLogo, Flag(false));  // "1 " is not exactly "1"
  EXPECT_EQ(w.LoadDriveSpace, Flag(true));
  EXPECT_EQ(w.LoadDoubleSpace, Flag(false));
  EXPECT_EQ(w.Uptime, "1 day, 1 hour, 1 minute, 1 second, 1 ms");
  EXPECT_EQ(w.ProgramsPath, path);  // longer than 145 characters, read whole
  EXPECT_EQ(w.CommandInterpreter, "C:\\WINNT\\system32\\cmd.exe");
  EXPECT_EQ(w.Prompt, "$P$G");
  EXPECT_EQ(w.PagingDrive, "Un");  // present but empty: "Unknown"
  EXPECT_EQ(w.Username, "");
}

TEST(ModSWindows, GetWindowsOfAMachineWithFinalTexts) {
  auto m = testing::machineFromJson(R"J({
    "version": {"majorVersion": 6, "minorVersion": 1, "buildNumber": 0, "platformId": 0,
                "productName": "Debian GNU/Linux 12 (bookworm)", "versionText": "6.1 Build 0"},
    "tickCount": 0,
    "registry": {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion": {
      "ProductId": {"type": "REG_SZ", "value": "0123456789abcdef0123456789abcdef"}}}
  })J");
  testing::Recorder rec;
  WindowsInfo w = getWindows(rec.context(*m));
  EXPECT_TRUE(rec.reports.empty());
  EXPECT_EQ(w.OperatingSystem, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(w.Version, "6.1 Build 0");
  EXPECT_EQ(w.WindowsID, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(w.RegisteredOwner, "Unknown or None");
  EXPECT_EQ(w.FastBoot, "");
  EXPECT_EQ(w.PagingDrive, "No");
  EXPECT_EQ(w.Uptime, "0 days, 0 hours, 0 minutes, 0 seconds, 0ms");
}

TEST(ModSWindows, AFailureIsReportedAndTheFieldsBeforeItAreKept) {
  auto m = testing::machineFromJson(kNt);
  m->registry = std::make_unique<testing::FailingRegistry>(std::move(m->registry),
                                                           "Plus! VersionNumber");
  testing::Recorder rec;
  WindowsInfo w = getWindows(rec.context(*m));
  // OperatingSystem and Version come before the registry facts.
  EXPECT_EQ(w.OperatingSystem, "Microsoft Windows 2000 Professional");
  EXPECT_EQ(w.Version, "5.00 Build 2195 Service Pack  0.0");
  EXPECT_EQ(w.EnhancementPack, "");
  EXPECT_EQ(w.RegisteredOwner, "");
  EXPECT_EQ(w.Uptime, "");
  EXPECT_EQ(w.Security, Flag(false));
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].where, "QuorvanePro.modSWindows.getWindows");
  EXPECT_EQ(rec.reports[0].number, 5);
  EXPECT_GT(rec.reports[0].line, 0);
  EXPECT_EQ(rec.reports[0].text.rfind("Error in : QuorvanePro.modSWindows.getWindows\r\n\r\n"
                                      "Error Number : 5\r\n"
                                      "Error Description : Invalid procedure call or argument\r\n"
                                      "On line : ", 0),
            0u);
}

TEST(ModSWindows, AMachineWithoutTickCountKeepsWhatCameBefore) {
  std::string json = kNt;
  json.replace(json.find("\"tickCount\": 90061001,"), 22, "");
  auto m = testing::machineFromJson(json);
  testing::Recorder rec;
  WindowsInfo w = getWindows(rec.context(*m));
  EXPECT_EQ(w.LoadDriveSpace, Flag(true));
  EXPECT_EQ(w.Uptime, "");
  EXPECT_EQ(w.ProgramsPath, "");
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].description, "The machine file has no tickCount");
}

}  // namespace
}  // namespace quorvane::agent
