// End-to-end audits: the sample Windows XP machine, whose Windows section
// and application list are checked text for text, and this machine, checked
// against its own sources.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <memory>
#include <string>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/modGetInfo.h"
#include "common/AuditRecordIO.h"
#include "common/Text8.h"

namespace quorvane::agent {
namespace {

// PRETTY_NAME of an os-release file, read here on its own (quotes removed),
// so that the collector's reading is checked against an independent one.
std::optional<std::string> osReleasePrettyName(const char* path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string v = line.substr(12);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    return v;
  }
  return std::nullopt;
}

TEST(CollectMachine, TheXpSampleAsTheWindowsTablesDeriveIt) {
  auto m = testing::sampleMachine("winxp-pro.json");
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*m, "192.0.2.10"));
  EXPECT_EQ(testing::reportTexts(testing::softwareReports(rec)), std::vector<std::string>{});

  WindowsInfo w;
  w.RegisteredOwner = "  Jane Doe";  // getValue does not trim
  w.RegisteredOrganization = "Unknown or None";  // present but empty
  w.OperatingSystem = "Microsoft Windows XP Professional";  // suite 0x100: no words
  w.Version = "5.1Se Build 2600 Service Pack  2.0";
  w.ProductKey = "Unknown or None";
  w.WindowsID = "55274-640-1234567-23456";
  w.Uptime = "28 days, 22 hours, 26 minutes, 40 seconds, 0ms";  // beyond 2^31 ms
  w.CommandInterpreter = "C:\\WINDOWS\\system32\\cmd.exe";
  w.EnhancementPack = "Unknown or None";
  w.Security = true;
  w.NetworkConnection = true;
  w.FastBoot = "";
  w.ProgramsPath =
      "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem;C:\\Program Files\\ATI "
      "Technologies\\ATI.ACE\\Core-Static;C:\\Program Files\\QuickTime\\QTSystem\\;C:\\Program "
      "Files\\Common Files\\Roxio Shared\\DLLShared\\";
  ASSERT_GT(w.ProgramsPath.size(), 145u);
  w.Prompt = "";
  w.PagingDrive = "No";
  EXPECT_EQ(record.Software.Windows, w);

  ASSERT_EQ(record.Software.Applications.size(), 4u);
  EXPECT_EQ(record.Software.Applications[2].DisplayName, "Outil de la Soci\xE9t\xE9");
  EXPECT_EQ(record.Software.Applications[2].URLInfoAbout, "01 AB");
  EXPECT_EQ(record.Software.Applications[3].DisplayName, "");
  EXPECT_EQ(record.Hardware.Network.IP, "192.0.2.51");

  // The record survives its serialisation.
  auto back = readAuditRecord(writeAuditRecord(record));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, record);
}

TEST(CollectMachine, TheWin98SampleAsTheWindowsTablesDeriveIt) {
  auto m = testing::sampleMachine("win98se.json");
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*m));
  EXPECT_EQ(testing::reportTexts(testing::softwareReports(rec)), std::vector<std::string>{});
  const WindowsInfo& w = record.Software.Windows;
  EXPECT_EQ(w.OperatingSystem, "Microsoft Windows 98 Second Edition");
  EXPECT_EQ(w.Version, "4.10 A Build 2222");
  EXPECT_EQ(w.RegisteredOwner, "Margaret Hale");
  EXPECT_EQ(w.EnhancementPack, "IE 5 5.00.2614.3500");
  EXPECT_EQ(w.ProductKey, "Unknown or None");
  EXPECT_EQ(w.WindowsID, "12345-OEM-0067890-12345");
  EXPECT_EQ(w.Uptime, "0 days, 3 hours, 1 minute, 12 seconds, 250ms");
  EXPECT_EQ(w.FastBoot, "&H1");
  EXPECT_EQ(w.BootToGUI, Flag(true));
  EXPECT_EQ(w.Autoscan, Flag(true));
  EXPECT_EQ(w.ShowLogo, Flag(false));
  EXPECT_EQ(w.LoadDriveSpace, Flag(false));
  EXPECT_EQ(w.LoadDoubleSpace, Flag(true));
  EXPECT_EQ(w.Security, Flag(false));
  EXPECT_EQ(w.Prompt, "$p$g");
  EXPECT_EQ(w.PagingDrive, "C:");
  std::vector<std::string> names;
  for (const auto& a : record.Software.Applications) names.push_back(a.DisplayName);
  EXPECT_EQ(names, (std::vector<std::string>{"Microsoft Office 97, Professional Edition",
                                             "WinZip 8.0", ""}));
  EXPECT_EQ(record.Software.Applications[2].UninstallString, "RunDll32 dxsetup.dll,Uninstall");
}

std::string run(const char* command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command, "r"), pclose);
  if (!pipe) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
  return out;
}

TEST(CollectMachine, ThisMachineFromItsOwnSources) {
  auto m = platform::makeNativePlatform();
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*m));
  for (const auto& r : testing::softwareReports(rec)) ADD_FAILURE() << r.text;
  const WindowsInfo& w = record.Software.Windows;

  auto pretty = osReleasePrettyName("/etc/os-release");
  if (!pretty) pretty = osReleasePrettyName("/usr/lib/os-release");
  ASSERT_TRUE(pretty);
  EXPECT_NE(w.OperatingSystem.find(utf8ToWindows1252(*pretty)), std::string::npos) << w.OperatingSystem;
  EXPECT_NE(w.Version.find(" Build "), std::string::npos) << w.Version;
  EXPECT_NE(w.Uptime.find(" days, "), std::string::npos) << w.Uptime;
  EXPECT_EQ(w.RegisteredOwner, "Unknown or None");

  // The package list is dpkg's, with the closing element.
  std::string listed = run("dpkg-query -W -f '${db:Status-Status}\\n' 2>/dev/null");
  std::size_t installed = 0, pos = 0;
  while ((pos = listed.find("installed\n", pos)) != std::string::npos) {
    if (pos == 0 || listed[pos - 1] == '\n') ++installed;
    pos += 10;
  }
  ASSERT_GT(installed, 0u) << "dpkg-query gave nothing";
  ASSERT_TRUE(record.Software.Applications.present);
  EXPECT_EQ(record.Software.Applications.size(), installed + 1);
  EXPECT_EQ(record.Software.Applications.items.back().DisplayName, "");

  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(record.Hardware.Network.Hostname, utf8ToWindows1252(host));
  EXPECT_FALSE(record.Hardware.Network.IP.empty());
  EXPECT_NE(record.Hardware.Network.IP, "127.0.1.1");
  EXPECT_FALSE(record.Hardware.Network.UserName.empty());
  EXPECT_EQ(record.Hardware.Network.IsNT, Flag(false));
  EXPECT_FALSE(record.Hardware.Network.DomainName.empty());
}

}  // namespace
}  // namespace quorvane::agent
