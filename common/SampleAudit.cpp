#include "common/SampleAudit.h"

#include "common/AuditRecordIO.h"

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

namespace quorvane {
namespace {

// std::mt19937 is fully specified; the distributions of <random> are not, so
// the picks below use the raw engine output to stay identical everywhere.
class Picker {
 public:
  explicit Picker(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : engine_() % n; }
  template <class C>
  const auto& from(const C& choices) {
    return choices[below(static_cast<std::uint32_t>(std::size(choices)))];
  }

 private:
  std::mt19937 engine_;
};

struct Product {
  std::string_view name;
  std::string_view publisher;
  std::string_view folder;
  std::string_view url;
};

constexpr std::array<Product, 24> kProducts = {{
    {"Microsoft Office Professional", "Microsoft Corporation", "Microsoft Office", "http://www.microsoft.com/office"},
    {"Microsoft Visual C++ Redistributable", "Microsoft Corporation", "Microsoft Visual C++", "http://www.microsoft.com"},
    {"Adobe Acrobat Reader", "Adobe Systems Incorporated", "Adobe\\Acrobat Reader", "http://www.adobe.com"},
    {"Adobe Flash Player", "Adobe Systems Incorporated", "Macromed\\Flash", "http://www.adobe.com"},
    {"Mozilla Firefox", "Mozilla", "Mozilla Firefox", "https://www.mozilla.org"},
    {"Mozilla Thunderbird", "Mozilla", "Mozilla Thunderbird", "https://www.thunderbird.net"},
    {"LibreOffice", "The Document Foundation", "LibreOffice", "https://www.libreoffice.org"},
    {"7-Zip", "Igor Pavlov", "7-Zip", "https://www.7-zip.org"},
    {"VLC media player", "VideoLAN", "VideoLAN\\VLC", "https://www.videolan.org"},
    {"Java Runtime Environment", "Oracle Corporation", "Java\\jre", "http://java.com"},
    {"WinZip", "WinZip Computing", "WinZip", "http://www.winzip.com"},
    {"Notepad++", "Notepad++ Team", "Notepad++", "https://notepad-plus-plus.org"},
    {"Norton AntiVirus", "Symantec Corporation", "Norton AntiVirus", "http://www.symantec.com"},
    {"WinRAR archiver", "win.rar GmbH", "WinRAR", "http://www.rarlab.com"},
    {"Paint Shop Pro", "Jasc Software", "Jasc Software Inc\\Paint Shop Pro", "http://www.jasc.com"},
    {"RealPlayer", "RealNetworks", "Real\\RealPlayer", "http://www.real.com"},
    {"QuickTime", "Apple Computer, Inc.", "QuickTime", "http://www.apple.com/quicktime"},
    {"Nero Burning ROM", "Nero AG", "Ahead\\Nero", "http://www.nero.com"},
    {"PuTTY", "Simon Tatham", "PuTTY", "https://www.chiark.greenend.org.uk/~sgtatham/putty/"},
    {"GIMP", "The GIMP Team", "GIMP 2", "https://www.gimp.org"},
    {"Intel(R) Graphics Driver", "Intel Corporation", "Intel\\Graphics", "http://www.intel.com"},
    {"Realtek High Definition Audio Driver", "Realtek Semiconductor Corp.", "Realtek\\Audio", "http://www.realtek.com"},
    {"Caf\xE9 Manager", "Soci\xE9t\xE9 G\xE9n\xE9rale du Logiciel", "Caf\xE9 Manager", ""},
    {"Internal Accounts Tool", "", "Accounts", ""},
}};

std::string version(Picker& pick) {
  return std::to_string(1 + pick.below(12)) + "." + std::to_string(pick.below(10)) + "." +
         std::to_string(pick.below(5000));
}

std::string twoDigits(std::uint32_t n) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02u", static_cast<unsigned>(n % 100));
  return buf;
}

std::string withThousands(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out + " Bytes";
}

WaveDeviceCaps waveDevice(std::string name, std::int32_t features, bool stereo) {
  WaveDeviceCaps caps;
  caps.DeviceName = std::move(name);
  caps.DriverVersion = "5.10";
  caps.AudioChannels = stereo ? "2 (stereo device)" : "1 (mono device)";
  caps.ManufacturerID = "1";
  caps.ProductID = "100";
  caps.Features = features;
  return caps;
}

DriveInfo drive(std::string name, std::string type, std::string label, std::string serial,
                std::uint64_t size, std::uint64_t free) {
  DriveInfo d;
  d.DriveName = std::move(name);
  d.DriveSort = type;
  d.DriveLabel = std::move(label);
  d.DriveSerial = std::move(serial);
  d.DriveSize = withThousands(size);
  d.DriveFree = withThousands(free);
  d.DriveUsed = withThousands(size - free);
  d.DriveType = std::move(type);
  return d;
}

void fillWindows(WindowsInfo& w, Picker& pick, std::uint32_t seed) {
  w.RegisteredOwner = "Office User " + std::to_string(seed);
  w.RegisteredOrganization = "Example Trading Ltd";
  w.OperatingSystem = "Microsoft Windows 98 Second Edition";
  w.Version = "4.10 A Build 2222";
  w.ProductKey = "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY";
  w.WindowsID = "12345-OEM-0012345-67890";
  w.Uptime = std::to_string(pick.below(30)) + " days, " + std::to_string(pick.below(24)) + " hours, " +
             std::to_string(pick.below(60)) + " minutes, " + std::to_string(pick.below(60)) +
             " seconds, " + std::to_string(pick.below(1000)) + "ms";
  w.CommandInterpreter = "C:\\WINDOWS\\COMMAND.COM";
  w.EnhancementPack = "Unknown or None";
  w.WindowsBoot = 0;
  w.Security = true;
  w.FastBoot = "0";
  w.NetworkConnection = true;
  w.BootToGUI = true;
  w.Autoscan = true;
  w.ShowLogo = true;
  w.ProgramsPath = "C:\\WINDOWS;C:\\WINDOWS\\COMMAND";
  w.Prompt = "$p$g";
  w.PagingDrive = "C:";
}

// `applications` entries and the closing one; none at all for 0.
void fillApplications(Array<ApplicationInfo>& apps, Picker& pick, int applications) {
  if (applications <= 0) return;
  apps.present = true;
  apps.items.reserve(static_cast<std::size_t>(applications) + 1);
  for (int i = 0; i < applications; ++i) {
    const Product& p = pick.from(kProducts);
    ApplicationInfo a;
    a.DisplayVersion = version(pick);
    a.DisplayName = std::string(p.name) + " " + a.DisplayVersion;
    a.Publisher = std::string(p.publisher);
    a.InstallLocation = "C:\\Program Files\\" + std::string(p.folder);
    a.UninstallString = "\"" + a.InstallLocation + "\\uninst.exe\" /S /ID=" + std::to_string(i);
    a.URLInfoAbout = std::string(p.url);
    apps.items.push_back(std::move(a));
  }
  // The closing element carries the other values of the last entry examined.
  ApplicationInfo closing = apps.items.back();
  closing.DisplayName.clear();
  apps.items.push_back(std::move(closing));
}

void fillPrinters(HardwareInfo& h, Picker& pick) {
  const int printers = 1 + static_cast<int>(pick.below(2));
  for (int i = 0; i < printers; ++i) {
    PrinterInfo p;
    p.DisplayName = i == 0 ? "HP LaserJet 4050 Series PCL6" : "EPSON Stylus COLOR 880";
    p.DriverName = i == 0 ? "HP LaserJet 4050 Series PCL6" : "EPSON Stylus COLOR 880";
    p.Port = i == 0 ? "LPT1:" : "USB001";
    p.Colour = i != 0;
    p.Duplex = 1;
    p.Orientation = 1;
    p.PaperBin = 7;
    p.PaperSize = 9;
    p.PrintQuality = i == 0 ? 600 : -4;
    h.Printers.push_back(std::move(p));
  }
  h.PrintersPresent = true;
}

void fillKeyboard(KeyboardInfo& k) {
  k.Model = "PC/AT Enhanced Keyboard (101/102-Key)";
  k.KeyboardType = "4/0";
  k.OEMCodePage = "437";
  k.ANSICodePage = "1252";
  k.LayoutID = "00000409";
  k.LayoutName = "English (United States)";
  k.RepeatDelay = "1";
  k.RepeatSpeed = "31";
  k.NumberOfFunctionKeys = "12";
  k.CaretFlashSpeed = "530 ms";
  k.CaretWidth = "Not Supported";
  k.DriverFile = "KEYBOARD.DRV";
  k.DriverDesc = "Standard 101/102-Key or Microsoft Natural Keyboard";
  k.DriverVers = "4.10.0.2222";
  k.DriverProv = "Microsoft";
  k.DriverDate = "4-23-1999";
  k.DriverTime = "22:22:00";
}

void fillProcessor(ProcessorInfo& c, Picker& pick) {
  c.NumberOfCPUs = "1";
  c.ActiveProcessorMark = "1";
  c.CPUVersion = "GenuineIntel";
  c.CPUClass = "x86 Family 6 Model 8 Stepping 3";
  c.CPUStepping = "8 , 3";
  c.CPUSpeed = std::to_string(500 + 33 * pick.below(16));
  c.MinAppAddress = "4194304";
  c.MaxAppAddress = "2147418111";
  c.PageSize = "4096";
  c.BlockSize = "65536";
}

void fillMemory(MemoryInfo& m, Picker& pick) {
  const std::uint32_t megabytes = 64u << pick.below(4);
  m.TotalMemoryAvailable = std::to_string(megabytes) + " MBytes";
  m.TotalPhysicalMemory = std::to_string(megabytes * 1024) + " KBytes";
  m.TotalAvailablePhysicalMemory = std::to_string(megabytes * 1024 / 3) + " KBytes";
  m.MaxSwapFile = "2097024 KBytes";
  m.CurrentSwapFile = "131072 KBytes";
  m.FreeSwapFile = "98304 KBytes";
  m.MemoryLoad = std::to_string(20 + pick.below(70)) + " %";
}

void fillVideo(VideoInfo& v) {
  v.VideoCards.push_back("NVIDIA RIVA TNT2 Model 64");
  v.currResolution = "1024 * 768";
  v.currColourDepth = "32 bits per pixel  (True Color)";
  v.currFrequency = "75 hz  (User-selected)";
  static constexpr std::array<std::string_view, 6> kSizes = {"640*480", "800*600", "1024*768",
                                                             "1152*864", "1280*1024", "1600*1200"};
  static constexpr std::array<std::string_view, 4> kDepths = {
      "4bit colour (16 Colors)", "8bit colour (256 Colors)", "16bit colour (High Color)",
      "32bit colour (True Color)"};
  for (auto size : kSizes)
    for (auto depth : kDepths) v.VideoModes.push_back(std::string(size) + " " + std::string(depth));
}

void fillSound(SoundInfo& s) {
  s.boolPresent = true;
  s.strIOPort = "220";
  s.strIRQ = "5";
  s.strDMA = "1";
  s.WaveOutDevices.push_back(waveDevice("Microsoft Sound Mapper", 0x3FFF | 0x2000, true));
  s.WaveOutDevices.push_back(waveDevice("SB Live! Wave Device", 0xFFF | 0x2000 | 0x20000, true));
  s.WaveInDevices.push_back(waveDevice("Microsoft Sound Mapper", 0xFFF, true));
  s.WaveInDevices.push_back(waveDevice("SB Live! Wave Device", 0xFFF, true));
}

void fillDrives(HardwareInfo& h, Picker& pick) {
  const std::uint64_t diskSize = 20003794944ull + 1000000ull * pick.below(1000);
  h.Drives.push_back(drive("A:\\", "Removable drive", "NoName", "0000-0000", 0, 0));
  h.Drives.push_back(drive("C:\\", "Fixed drive", "SYSTEM", "1A2B-3C4D", diskSize, diskSize / 3));
  h.Drives.push_back(drive("D:\\", "CD-ROM drive", "NoName", "0000-0000", 0, 0));
  h.Drives.push_back(DriveInfo{});
}

void fillNetwork(NetworkInfo& n, std::uint32_t seed) {
  n.Hostname = "PC-" + std::to_string(seed);
  n.IP = "127." + std::to_string((seed / 65024) % 256) + "." + std::to_string((seed / 254) % 256) +
         "." + std::to_string(seed % 254 + 1);
  n.DomainName = seed % 3 == 0 ? "WORKGROUP" : (seed % 3 == 1 ? "OFFICE" : "LAB");
  n.UserName = "user" + std::to_string(seed);
  n.IsAdmin = false;
  n.IsNT = false;
}

std::string auditDate(Picker& pick) {
  return twoDigits(1 + pick.below(28)) + "/" + twoDigits(1 + pick.below(12)) + "/" +
         std::to_string(2000 + pick.below(25)) + " " + twoDigits(pick.below(24)) + ":" +
         twoDigits(pick.below(60)) + ":" + twoDigits(pick.below(60));
}

}  // namespace

// The sections in a fixed order: each draws from `pick` in turn, so the same
// seed gives the same record.
AuditRecord makeSampleAudit(int applications, std::uint32_t seed) {
  Picker pick(seed);
  AuditRecord r;
  fillWindows(r.Software.Windows, pick, seed);
  fillApplications(r.Software.Applications, pick, applications);
  HardwareInfo& h = r.Hardware;
  fillPrinters(h, pick);
  fillKeyboard(h.Keyboard);
  fillProcessor(h.Processor, pick);
  fillMemory(h.Memory, pick);
  fillVideo(h.Video);
  fillSound(h.Sound);
  fillDrives(h, pick);
  fillNetwork(h.Network, seed);
  r.AuditDate = auditDate(pick);
  r.ListenPortNumber = 5001;
  return r;
}

std::string serialisedRecordWithEmptyApplications(std::uint32_t count) {
  constexpr std::size_t kApplicationsAt = 14 * 2 + 14 * 2 + 4;  // after the empty WindowsInfo
  std::string stream = writeAuditRecord(AuditRecord{});
  std::string header("\x01\x00", 2);
  for (int shift = 0; shift < 32; shift += 8) header += static_cast<char>((count >> shift) & 0xFF);
  header += std::string(4, '\0');
  stream.replace(kApplicationsAt, 2, header + std::string(std::size_t{count} * 12, '\0'));
  return stream;
}

}  // namespace quorvane
