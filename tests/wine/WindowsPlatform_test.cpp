// The Windows backend of the platform layer and the collectors on top of it,
// run under Wine against its real Win32 implementation.
//
// The suite seeds the registry itself (reg import of tests/wine/seed.reg),
// system.ini, msdos.sys and a keyboard driver file (this program, which
// carries the agent's manifest and version resource), then checks the raw
// services and the collectors' Windows text forms. Run it in a Wine prefix
// made for testing (tools/test-windows.sh makes a fresh one): it writes into
// the prefix's registry and Windows folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "agent/collect/CollectContext.h"
#include "agent/collect/Registry.h"
#include "agent/collect/modGetInfo.h"
#include "agent/collect/modRegistry.h"
#include "agent/collect/modSSoftware.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "platform/ProgramFolder.h"

// The platform's constants whose names the system headers take as macros.
namespace platform_names {
constexpr quorvane::platform::RootKey kHkcu = quorvane::platform::HKEY_CURRENT_USER;
constexpr quorvane::platform::RootKey kHklm = quorvane::platform::HKEY_LOCAL_MACHINE;
constexpr int kSmCxScreen = quorvane::platform::SM_CXSCREEN;
constexpr unsigned kSpiKeyboardDelay = quorvane::platform::SPI_GETKEYBOARDDELAY;
constexpr std::uint32_t kDriveFixed = quorvane::platform::DRIVE_FIXED;
constexpr std::uint32_t kVosNtWindows32 = quorvane::platform::VOS_NT_WINDOWS32;
}  // namespace platform_names

// The system headers after the neutral ones: their macros share names.
#include <windows.h>
#include <winternl.h>

namespace quorvane {
namespace {

namespace pf = platform;
using namespace platform_names;

constexpr const char* kKeyboardDriver = "QVKEYB.DRV";

// A Linux path of the build host as Wine sees it (drive Z: is "/").
std::string hostPathForWine(const std::string& path) {
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// Runs a command line and returns its exit code (-1 when it cannot start).
long runProgram(std::string commandLine) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, 120000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(code);
}

std::string windowsFolder() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, sizeof dir);
  return dir;
}

std::string systemFolder() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}

std::string ownExecutable() {
  char path[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

std::string narrowText(const wchar_t* text) {
  char out[256] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out - 1, "?", nullptr);
  return out;
}

// The version as ntdll reports it, which no manifest changes.
RTL_OSVERSIONINFOEXW trueVersion() {
  RTL_OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  using Fn = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  if (fn) fn(&v);
  return v;
}

class WindowsMachine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string reg = hostPathForWine(QUORVANE_SOURCE_DIR "/tests/wine/seed.reg");
    ASSERT_EQ(runProgram("reg.exe import \"" + reg + "\""), 0) << "reg import " << reg;
    // system.ini of the Windows folder; msdos.sys on the drive WINBOOTDIR names.
    const std::string ini = windowsFolder() + "\\system.ini";
    WritePrivateProfileStringA("boot", "keyboard.drv", kKeyboardDriver, ini.c_str());
    WritePrivateProfileStringA("boot.description", "keyboard.typ", "Quorvane 105-Key", ini.c_str());
    WritePrivateProfileStringA("boot.description", "empty.entry", "", ini.c_str());
    WritePrivateProfileStringA("386enh", "pagingdrive", "C:\\pagefile.sys", ini.c_str());
    SetEnvironmentVariableA("WINBOOTDIR", (windowsFolder().substr(0, 2) + "\\WINDOWS").c_str());
    const std::string msdos = windowsFolder().substr(0, 2) + "\\msdos.sys";
    WritePrivateProfileStringA("Options", "BootGUI", "1", msdos.c_str());
    WritePrivateProfileStringA("Options", "AutoScan", "1", msdos.c_str());
    WritePrivateProfileStringA("Options", "Logo", "0", msdos.c_str());
    SetEnvironmentVariableA("prompt", "$P$G");
    // The keyboard driver: a file of the system folder with a known version resource.
    const std::string driver = systemFolder() + "\\" + kKeyboardDriver;
    ASSERT_TRUE(CopyFileA(ownExecutable().c_str(), driver.c_str(), FALSE)) << driver;
    machine_ = pf::makeNativePlatform().release();
  }
  static void TearDownTestSuite() {
    delete machine_;
    machine_ = nullptr;
  }

  pf::Platform& machine() { return *machine_; }
  agent::CollectContext context(std::string serverIP = {}) {
    return agent::CollectContext{*machine_, std::move(serverIP),
                                 [this](const agent::CollectReport& r) {
                                   reports_.push_back(r.text);
                                 },
                                 {}};
  }

  std::vector<std::string> reports_;
  static pf::Platform* machine_;
};
pf::Platform* WindowsMachine::machine_ = nullptr;

// ---- registry: raw values ------------------------------------------------------

struct RawValueRow {
  const char* name;
  pf::RootKey root;
  const char* key;
  const char* value;
  std::optional<pf::RegValue> expected;
};

TEST_F(WindowsMachine, RegistryGivesTypeAndStoredBytes) {
  using std::string_literals::operator""s;
  const char* k = "Software\\QuorvaneTest";
  const RawValueRow rows[] = {
      {"string with its NUL", kHkcu, k, "Text", pf::RegValue{1, "Alpha\0"s}},
      {"dword little-endian", kHkcu, k, "Number", pf::RegValue{4, "\xCD\x07\0\0"s}},
      {"binary as stored", kHkcu, k, "Bytes", pf::RegValue{3, "\x01\x0A\xFF"s}},
      {"expand string unexpanded", kHkcu, k, "Expand",
       pf::RegValue{2, "%SystemRoot%\0"s}},
      {"multi string", kHkcu, k, "Multi", pf::RegValue{7, "one\0two\0\0"s}},
      {"empty string", kHkcu, k, "Empty", pf::RegValue{1, "\0"s}},
      {"default value", kHkcu, k, "", pf::RegValue{1, "default text\0"s}},
      {"key path in another case", kHkcu, "SOFTWARE\\quorvanetest", "text",
       pf::RegValue{1, "Alpha\0"s}},
      {"missing value", kHkcu, k, "NoSuchValue", std::nullopt},
      {"missing key", kHkcu, "Software\\QuorvaneTest\\Nowhere", "Text", std::nullopt},
      {"machine root", kHklm,
       "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "~MHz",
       pf::RegValue{4, "\xCD\x07\0\0"s}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(machine().registry->queryValue(row.root, row.key, row.value), row.expected);
  }
}

TEST_F(WindowsMachine, RegistryEnumeratesSubkeysInTheSystemsOrder) {
  const auto& reg = *machine().registry;
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    auto name = reg.subKeyName(kHkcu, "Software\\QuorvaneTest\\Keys", i);
    if (!name) break;
    names.push_back(*name);
    ASSERT_LT(i, 10u);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));
  EXPECT_FALSE(reg.subKeyName(kHkcu, "Software\\QuorvaneTest\\Nowhere", 0));
  EXPECT_TRUE(reg.keyExists(kHkcu, "software\\quorvanetest\\KEYS\\bravo"));
  EXPECT_FALSE(reg.keyExists(kHkcu, "Software\\QuorvaneTest\\Keys\\Delta"));
  EXPECT_FALSE(reg.keyExists(0x12345678u, "Software"));  // not a root handle
}

// ---- registry: the collectors' text forms ------------------------------------------

struct TextRow {
  const char* name;
  const char* key;
  const char* value;
  const char* getValueText;     // Registry::getValue
  const char* getKeyValueText;  // getKeyValue (modRegistry)
};

TEST_F(WindowsMachine, RegistryTextFormsOfTheCollectors) {
  const char* k = "Software\\QuorvaneTest";
  const TextRow rows[] = {
      {"REG_DWORD 1997", k, "Number", "&H7CD", "1997"},
      {"REG_BINARY", k, "Bytes", "\x01\n\xFF", "01 0A FF"},
      {"REG_SZ", k, "Text", "Alpha", "Alpha"},
      {"REG_EXPAND_SZ", k, "Expand", "%SystemRoot%", "%SystemRoot%"},
      {"REG_MULTI_SZ: the first string; no text form for the typed reader", k, "Multi", "one", ""},
      {"missing value", k, "NoSuchValue", "", ""},
  };
  agent::Registry reg(*machine().registry);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(reg.getValue(row.key, row.value, kHkcu), row.getValueText);
    EXPECT_EQ(agent::getKeyValue(*machine().registry, kHkcu, row.key, row.value),
              row.getKeyValueText);
  }
}

TEST_F(WindowsMachine, InstalledApplicationsComeFromTheUninstallKeys) {
  auto apps = agent::getApplicationsInfo(context());
  EXPECT_TRUE(reports_.empty()) << reports_.front();
  ASSERT_FALSE(apps.empty());
  EXPECT_EQ(apps.items.back(), ApplicationInfo{}) << "the list closes with an empty element";
  std::vector<ApplicationInfo> ours;
  for (const auto& a : apps)
    if (a.DisplayName == "Alpha Office 2000" || a.DisplayName == "Beta Tools" ||
        a.DisplayName == "Gamma Viewer")
      ours.push_back(a);
  ASSERT_EQ(ours.size(), 3u);
  EXPECT_EQ(ours[0], (ApplicationInfo{"Alpha Office 2000",
                                             "C:\\Program Files\\Alpha\\uninst.exe /S",
                                             "Alpha Software Corp.", "C:\\Program Files\\Alpha",
                                             "9.0.2720", "http://192.0.2.10/alpha"}));
  // A binary version as hexadecimal pairs, a number as decimal, blanks trimmed.
  EXPECT_EQ(ours[1], (ApplicationInfo{"Beta Tools", "beta-remove.exe", "1997", "",
                                             "01 0A FF", ""}));
  EXPECT_EQ(ours[2], (ApplicationInfo{"Gamma Viewer", "gamma-remove.exe", "Gamma & Sons",
                                             "", "1.2", ""}));
  for (const auto& a : apps) EXPECT_NE(a.UninstallString, "no-display-name.exe");
}

// ---- operating system ----------------------------------------------------------------

TEST_F(WindowsMachine, VersionIsTheTrueOneThanksToTheManifest) {
  const auto truth = trueVersion();
  auto basic = machine().version->basic();
  ASSERT_TRUE(basic.ok());
  EXPECT_EQ(basic->platformId, pf::kPlatformNT);
  EXPECT_EQ(basic->majorVersion, truth.dwMajorVersion);
  EXPECT_EQ(basic->minorVersion, truth.dwMinorVersion);
  EXPECT_EQ(basic->buildNumber, truth.dwBuildNumber);
  auto extended = machine().version->extended();
  ASSERT_TRUE(extended.ok());
  EXPECT_EQ(extended->servicePackMajor, truth.wServicePackMajor);
  EXPECT_EQ(extended->productType, truth.wProductType);
}

TEST_F(WindowsMachine, WindowsSectionInTheTextForms) {
  const auto truth = trueVersion();
  auto w = agent::getWindowsInfo(context());
  EXPECT_TRUE(reports_.empty()) << reports_.front();
  std::string os = "Microsoft Windows NT";
  if (truth.dwMajorVersion == 5 && truth.dwMinorVersion == 1) os = "Microsoft Windows XP";
  if (truth.wProductType == 1) os += " Professional";
  if (truth.wProductType == 3) os += " Server";
  EXPECT_EQ(w.OperatingSystem, os);
  std::string csd = narrowText(truth.szCSDVersion).substr(0, 2);
  std::string version = std::to_string(truth.dwMajorVersion) + "." +
                        std::to_string(truth.dwMinorVersion) +
                        (truth.dwMinorVersion == 0 ? "0" : "") + csd + " Build " +
                        std::to_string(truth.dwBuildNumber & 0xFFFF) + " Service Pack  " +
                        std::to_string(truth.wServicePackMajor) + "." +
                        std::to_string(truth.wServicePackMinor);
  EXPECT_EQ(w.Version, version);
  EXPECT_EQ(w.RegisteredOwner, "Quorvane Tester");
  EXPECT_EQ(w.RegisteredOrganization, "  Quorvane QA  ");  // getValue keeps the blanks
  EXPECT_EQ(w.WindowsID, "55274-OEM-0011903-00102");
  EXPECT_EQ(w.EnhancementPack, "&H7CD");  // a REG_DWORD read as getValue reads it
  EXPECT_EQ(w.ProductKey, "Unknown or None");
  EXPECT_EQ(w.Prompt, "$P$G");
  EXPECT_EQ(w.PagingDrive, "C:");
  EXPECT_TRUE(w.BootToGUI);
  EXPECT_TRUE(w.Autoscan);
  EXPECT_FALSE(w.ShowLogo);
  EXPECT_FALSE(w.LoadDriveSpace);  // absent from msdos.sys
  char comspec[MAX_PATH] = {};
  GetEnvironmentVariableA("COMSPEC", comspec, sizeof comspec);
  EXPECT_EQ(w.CommandInterpreter, comspec);
  EXPECT_NE(w.Uptime.find(" days, "), std::string::npos) << w.Uptime;
}

// ---- system services -----------------------------------------------------------------

TEST_F(WindowsMachine, EnvironmentNamesIgnoreCaseAndTellEmptyFromAbsent) {
  SetEnvironmentVariableA("QUORVANE_SET", "value with spaces ");
  SetEnvironmentVariableA("QUORVANE_EMPTY", "");
  const std::string longValue(5000, 'x');
  SetEnvironmentVariableA("QUORVANE_LONG", longValue.c_str());
  const auto& env = *machine().environment;
  EXPECT_EQ(env.get("QUORVANE_SET"), "value with spaces ");
  EXPECT_EQ(env.get("quorvane_set"), "value with spaces ");
  EXPECT_EQ(env.get("QUORVANE_EMPTY"), "");
  EXPECT_EQ(env.get("QUORVANE_LONG"), longValue);
  EXPECT_EQ(env.get("QUORVANE_NOT_SET"), std::nullopt);
}

TEST_F(WindowsMachine, IniEntriesTellEmptyFromAbsent) {
  const auto& ini = *machine().ini;
  EXPECT_EQ(ini.get(pf::kSystemIni, "boot.description", "keyboard.typ"), "Quorvane 105-Key");
  EXPECT_EQ(ini.get(pf::kSystemIni, "BOOT.DESCRIPTION", "Keyboard.Typ"), "Quorvane 105-Key");
  EXPECT_EQ(ini.get(pf::kSystemIni, "boot.description", "empty.entry"), "");
  EXPECT_EQ(ini.get(pf::kSystemIni, "boot.description", "no.such.entry"), std::nullopt);
  EXPECT_EQ(ini.get(pf::kSystemIni, "no such section", "keyboard.typ"), std::nullopt);
  EXPECT_EQ(ini.get(pf::kMsdosSys, "Options", "BootGUI"), "1");
  EXPECT_EQ(ini.get("win.ini", "windows", "load"), std::nullopt);  // not a file the agent reads
}

TEST_F(WindowsMachine, SystemParametersAndMetrics) {
  const auto& spi = *machine().parameters;
  auto delay = spi.get(kSpiKeyboardDelay, 0);
  ASSERT_TRUE(delay.has_value());
  EXPECT_GE(*delay, 0);
  EXPECT_LE(*delay, 3);
  EXPECT_EQ(spi.get(0xFFFF, 0), std::nullopt) << "an action the system does not know";
  EXPECT_EQ(machine().metrics->get(kSmCxScreen), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(machine().metrics->get(9999), 0);
}

TEST_F(WindowsMachine, TickCountNeitherWrapsNorGoesBack) {
  auto first = machine().ticks->milliseconds();
  ASSERT_TRUE(first.ok());
  EXPECT_GT(*first, 0u);
  Sleep(20);
  auto second = machine().ticks->milliseconds();
  ASSERT_TRUE(second.ok());
  EXPECT_GE(*second, *first);
}

// ---- version resources and the keyboard --------------------------------------------------

TEST_F(WindowsMachine, VersionResourceOfAFile) {
  const auto& files = *machine().files;
  const std::string driver = files.systemFilePath(kKeyboardDriver);
  EXPECT_EQ(driver, systemFolder() + "\\" + kKeyboardDriver);
  ASSERT_TRUE(files.fileExists(driver));
  EXPECT_FALSE(files.fileExists(systemFolder())) << "a folder is not a file";
  EXPECT_FALSE(files.fileExists(systemFolder() + "\\no-such-file.dll"));
  auto modified = files.lastModified(driver);
  ASSERT_TRUE(modified.has_value());
  EXPECT_GE(modified->year, 2020);
  auto r = files.versionResource(driver);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->fileVersionMS, 0x00000001u);  // 0.1
  EXPECT_EQ(r->fileVersionLS, 0x00000000u);  // .0.0
  EXPECT_EQ(r->fileOS, kVosNtWindows32);
  ASSERT_EQ(r->translations.size(), 1u);
  EXPECT_EQ(r->translations[0], (std::pair<std::uint16_t, std::uint16_t>{0x0409, 1252}));
  EXPECT_EQ(r->findString("040904e4", "CompanyName"), "Quorvane");
  EXPECT_EQ(r->findString("040904E4", "Comments"), std::nullopt);
  EXPECT_EQ(files.versionResource(systemFolder() + "\\no-such-file.dll"), std::nullopt);
  // A real system library of this Windows has one too.
  EXPECT_TRUE(files.versionResource(files.systemFilePath("kernel32.dll")).has_value());
}

TEST_F(WindowsMachine, KeyboardSectionWithItsDriverFile) {
  auto k = agent::getKeyboardInfo(context());
  EXPECT_TRUE(reports_.empty()) << reports_.front();
  EXPECT_EQ(k.Model, "Quorvane 105-Key");
  EXPECT_EQ(k.DriverFile, kKeyboardDriver);
  EXPECT_EQ(k.DriverDesc, "Quorvane Pro audit agent");
  EXPECT_EQ(k.DriverVers, "0.1.0.0");
  EXPECT_EQ(k.DriverProv, "Quorvane");
  EXPECT_EQ(k.ANSICodePage, std::to_string(GetACP()));
  EXPECT_EQ(k.OEMCodePage, std::to_string(GetOEMCP()));
  EXPECT_EQ(k.LayoutID.size(), 8u) << k.LayoutID;
  EXPECT_FALSE(k.LayoutName.empty());
  EXPECT_NE(k.CaretFlashSpeed.find(" ms"), std::string::npos);
}

// ---- hardware ---------------------------------------------------------------------------

TEST_F(WindowsMachine, ProcessorFromCentralProcessorZero) {
  auto p = agent::getProcessorInfo(context());
  EXPECT_TRUE(reports_.empty()) << reports_.front();
  EXPECT_EQ(p.CPUVersion, "GenuineQuorvane &H7CD");  // ~MHz 1997, a REG_DWORD, as getValue reads it
  EXPECT_EQ(p.CPUSpeed, "1997");
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  EXPECT_EQ(p.NumberOfCPUs, std::to_string(si.dwNumberOfProcessors));
  EXPECT_EQ(p.PageSize, std::to_string(si.dwPageSize));
  EXPECT_EQ(p.MaxAppAddress, std::to_string(reinterpret_cast<std::uintptr_t>(
                                 si.lpMaximumApplicationAddress)))
      << "full decimal width on 64-bit Windows";
}

TEST_F(WindowsMachine, MemoryAtFullWidth) {
  auto m = machine().memory->get();
  ASSERT_TRUE(m.ok());
  EXPECT_GT(m->totalPhys, 0u);
  EXPECT_LE(m->availPhys, m->totalPhys);
  EXPECT_LE(m->memoryLoad, 100u);
  MEMORYSTATUSEX ex{};
  ex.dwLength = sizeof ex;
  ASSERT_TRUE(GlobalMemoryStatusEx(&ex));
  EXPECT_EQ(m->totalPhys, ex.ullTotalPhys) << "no 4 GB cap";
  auto text = agent::getMemoryInfo(context());
  EXPECT_NE(text.TotalPhysicalMemory.find(" KBytes"), std::string::npos);
  EXPECT_NE(text.MemoryLoad.find(" %"), std::string::npos);
}

TEST_F(WindowsMachine, DrivesWithTypeLabelAndSpace) {
  auto list = machine().drives->list();
  ASSERT_FALSE(list.empty());
  const std::string system = windowsFolder().substr(0, 3);  // "C:\"
  auto c = std::find_if(list.begin(), list.end(), [&](const pf::DriveFacts& d) {
    return d.root == system;
  });
  ASSERT_NE(c, list.end());
  EXPECT_EQ(c->driveType, kDriveFixed);
  ASSERT_TRUE(c->space.has_value());
  EXPECT_GT(c->space->totalBytes, 0u);
  EXPECT_LE(c->space->freeBytesAvailable, c->space->totalBytes);
  auto drives = agent::getDrivesInfo(context());
  ASSERT_EQ(drives.size(), list.size() + 1) << "one element per drive and the closing one";
  EXPECT_EQ(drives.items.back(), DriveInfo{});
  auto shown = std::find_if(drives.begin(), drives.end(), [&](const DriveInfo& d) {
    return d.DriveName == system;
  });
  ASSERT_NE(shown, drives.end());
  EXPECT_EQ(shown->DriveType, "Fixed drive");
  EXPECT_NE(shown->DriveSize.find(" Bytes"), std::string::npos);
}

// ---- network identity and account -------------------------------------------------------

TEST_F(WindowsMachine, NetworkIdentityTowardALoopbackServer) {
  const auto& net = *machine().network;
  EXPECT_EQ(net.localAddressToward("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(net.localAddressToward("server.example"), std::nullopt) << "names are never resolved";
  EXPECT_EQ(net.localAddressToward(""), std::nullopt);
  EXPECT_EQ(net.localAddressToward("127.0.0.256"), std::nullopt);
  auto host = net.hostName();
  ASSERT_TRUE(host.ok());
  EXPECT_FALSE(host->empty());
  auto n = agent::getNetworkInfo(context("127.0.0.1"));
  EXPECT_TRUE(reports_.empty()) << reports_.front();
  EXPECT_EQ(n.IP, "127.0.0.1");
  EXPECT_EQ(n.Hostname, *host);
  EXPECT_TRUE(n.IsNT);
  char user[256] = {};
  DWORD size = sizeof user;
  GetUserNameA(user, &size);
  EXPECT_EQ(n.UserName, user);
}

TEST_F(WindowsMachine, AdministratorsGroupThroughTheToken) {
  const auto& account = *machine().account;
  auto groups = account.tokenGroups();
  ASSERT_TRUE(groups.ok());
  const bool inAdministrators = std::find(groups->begin(), groups->end(),
                                          std::string(pf::kAdministratorsSid)) != groups->end();
  EXPECT_EQ(account.lookupAccountName(pf::kAdministratorsSid), "Administrators");
  EXPECT_EQ(account.lookupAccountName("S-1-5-21-1-2-3-99999"), std::nullopt);
  EXPECT_EQ(account.lookupAccountName("not a sid"), std::nullopt);
  auto n = agent::getNetworkInfo(context());
  EXPECT_EQ(n.IsAdmin, inAdministrators);
  EXPECT_TRUE(account.logonDomain().has_value());
}

// ---- agent services ------------------------------------------------------------------------

TEST(WindowsAgentServices, InstanceLockExcludesASecondAgentOfTheSameFolder) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::filesystem::path a = std::filesystem::path(temp) / "quorvane-lock-a";
  const std::filesystem::path b = std::filesystem::path(temp) / "quorvane-lock-b";
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(b);
  auto first = pf::acquireInstanceLock(a);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first->outcome, pf::LockOutcome::Acquired);
  auto second = pf::acquireInstanceLock(a);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->outcome, pf::LockOutcome::HeldElsewhere);
  auto other = pf::acquireInstanceLock(b);
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(other->outcome, pf::LockOutcome::Acquired);
  first->lock.reset();
  auto again = pf::acquireInstanceLock(a);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again->outcome, pf::LockOutcome::Acquired);
  EXPECT_FALSE(pf::acquireInstanceLock(a / "no-such-folder").ok());
}

TEST(WindowsAgentServices, ProgramFolderIsTheExecutablesFolder) {
  const std::filesystem::path exe = ownExecutable();
  EXPECT_EQ(pf::executableFolder(), exe.parent_path());
}

}  // namespace
}  // namespace quorvane
