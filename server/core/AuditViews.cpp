#include "server/core/AuditViews.h"

#include <charconv>

#include "common/ErrorReport.h"
#include "common/modTextualDesc.h"
#include "server/core/modPublisher.h"

namespace quorvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr char kTab = '\t';
constexpr std::string_view kSubscriptText = "Subscript out of range";
constexpr std::string_view kTypeMismatchText = "Type mismatch";

ViewError toViewError(const RaisedError& e) {
  return ViewError{e.number(), e.description(), e.line()};
}

[[noreturn]] void raiseSubscript(std::source_location at = std::source_location::current()) {
  throw RaisedError(kErrSubscript, std::string(kSubscriptText), {}, at);
}

// Upper bound of an array, as the record's indexes count; absent arrays have
// none.
template <class T>
long long upperBound(const Array<T>& array,
                     std::source_location at = std::source_location::current()) {
  if (!array.present) raiseSubscript(at);
  return static_cast<long long>(array.lowerBound) + static_cast<long long>(array.size()) - 1;
}

// Upper bound, or -1 when the array is absent (the window's array-extent
// helper).
template <class T>
long long arrayExtent(const Array<T>& array) {
  if (!array.present) return -1;
  return upperBound(array);
}

template <class T>
const T& element(const Array<T>& array, long long index,
                 std::source_location at = std::source_location::current()) {
  if (!array.present || index < array.lowerBound) raiseSubscript(at);
  const auto offset = static_cast<unsigned long long>(index - array.lowerBound);
  if (offset >= array.size()) raiseSubscript(at);
  return array.items[static_cast<std::size_t>(offset)];
}

// The empty list that stands for an absent array: a record written without
// the array (a headless PC has no video modes, a PC may list no printers)
// is well formed and shows an empty list.
template <class T>
const Array<T>& orEmptyList(const Array<T>& array) {
  static const Array<T> kEmpty{std::vector<T>{}};
  return array.present ? array : kEmpty;
}

void appendTabbedLine(std::string& out, std::string_view label, std::string_view value) {
  out.append(label).push_back(kTab);
  out.append(value).append(kCrLf);
}

std::string codePageName(std::string_view text, std::string (*lookup)(std::int32_t)) {
  const std::optional<std::int32_t> number = readWholeNumber(text);
  return number ? lookup(*number) : std::string("Unknown");
}

// One software entry: label, line end, TAB, value, two line ends.
void appendSoftwareEntry(std::string& out, std::string_view label, std::string_view value) {
  out.append(label).append(kCrLf);
  out.push_back(kTab);
  out.append(value).append(kCrLf).append(kCrLf);
}

std::string printerBlock(const PrinterInfo& p) {
  std::string out;
  out.append(p.DisplayName).append(kCrLf);
  const auto line = [&out](std::string_view label, std::string_view value, bool last = false) {
    out.push_back(kTab);
    out.append(label).push_back(kTab);
    out.append(value);
    if (!last) out.append(kCrLf);
  };
  line("Driver Name : ", p.DriverName);
  line("Printer Port : ", p.Port);
  line("Colour Printer : ", flagText(p.Colour));
  line("Duplex ? : ", getDuplexDescription(p.Duplex));
  line("Paper Orientation : ", getDocumentOrientation(p.Orientation));
  line("Paper Bin : ", getPaperBin(p.PaperBin));
  line("Paper Size : ", getPaperSize(p.PaperSize));
  line("Print Quality : ", getPrintQuality(p.PrintQuality), true);
  return out;
}

struct FeatureBit {
  std::string_view label;
  std::int32_t bit;
};

// Capabilities: no tab between label and value.
constexpr FeatureBit kCapabilities[] = {
    {"Pitch Control : ", 0x1000},
    {"Volume Control : ", 0x2000},
    {"Synchronous Operation : ", 0x4000},
    {"Playback Rate Control : ", 0x8000},
    {"Sample-Accurate Position Info : ", 0x10000},
    {"Seperate Left & Right Channels : ", 0x20000},
};

// Formats: a tab between label and value.
constexpr FeatureBit kFormats[] = {
    {"Supports 11.025 kHz, 8-bit, mono playback : ", 0x1},
    {"Supports 11.025 kHz, 16-bit, mono playback : ", 0x2},
    {"Supports 11.025 kHz, 8-bit, stereo playback : ", 0x4},
    {"Supports 11.025 kHz, 16-bit, steoeo playback : ", 0x8},
    {"Supports 22.05 kHz, 8-bit, mono playback : ", 0x10},
    {"Supports 22.05 kHz, 16-bit, mono playback : ", 0x20},
    {"Supports 22.05 kHz, 8-bit, stereo playback : ", 0x40},
    {"Supports 22.05 kHz, 16-bit, stereo playback : ", 0x80},
    {"Supports 44.1 kHz, 8-bit, mono playback : ", 0x100},
    {"Supports 44.1 kHz, 16-bit, mono playback : ", 0x200},
    {"Supports 44.1 kHz, 8-bit, stereo playback : ", 0x400},
    {"Supports 44.1 kHz, 16-bit, stereo playback : ", 0x800},
};

void appendOutputDevice(std::string& out, const WaveDeviceCaps& d) {
  out.append(d.DeviceName).append(kCrLf);
  const auto plain = [&out](std::string_view label, std::string_view value) {
    out.push_back(kTab);
    out.append(label).append(value).append(kCrLf);
  };
  plain("Driver Version : ", d.DriverVersion);
  plain("Manufacturer ID : ", d.ManufacturerID);
  plain("Product ID : ", d.ProductID);
  plain("Audio Channels : ", d.AudioChannels);
  for (const FeatureBit& f : kCapabilities) {
    plain(f.label, flagText((d.Features & f.bit) != 0));
  }
  for (const FeatureBit& f : kFormats) {
    out.push_back(kTab);
    out.append(f.label).push_back(kTab);
    out.append(flagText((d.Features & f.bit) != 0)).append(kCrLf);
  }
}

}  // namespace

std::optional<std::int32_t> readWholeNumber(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  }
  std::int32_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

NodeRecord recordIndexFromTag(std::string_view tag, std::size_t tableSize) {
  NodeRecord result;
  if (tag.empty()) return result;
  const std::optional<std::int32_t> number = readWholeNumber(tag);
  if (!number) {
    result.error = ViewError{kErrTypeMismatch, std::string(kTypeMismatchText), 0};
    return result;
  }
  if (*number == -1) return result;
  if (*number < 0 || static_cast<std::size_t>(*number) >= tableSize) {
    result.error = ViewError{kErrSubscript, std::string(kSubscriptText), 0};
    return result;
  }
  result.index = static_cast<std::size_t>(*number);
  return result;
}

std::string flagText(Flag flag) { return flag.isTrue() ? "True" : "False"; }

SoftwareItems softwareListItems(const AuditRecord& record) {
  SoftwareItems result;
  result.items.push_back(record.Software.Windows.OperatingSystem);
  try {
    const Array<ApplicationInfo>& apps = orEmptyList(record.Software.Applications);
    const long long last = upperBound(apps) - 1;
    for (long long i = 0; i <= last; ++i) {
      result.items.push_back(element(apps, i).DisplayName);
    }
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

std::string windowsInfoText(const WindowsInfo& w) {
  std::string out;
  appendSoftwareEntry(out, "Operating System : ", w.OperatingSystem);
  appendSoftwareEntry(out, "Registered Owner : ", w.RegisteredOwner);
  appendSoftwareEntry(out, "Registered Organization : ", w.RegisteredOrganization);
  appendSoftwareEntry(out, "Product Key : ", w.ProductKey);
  appendSoftwareEntry(out, "Windows ID : ", w.WindowsID);
  appendSoftwareEntry(out, "Version : ", w.Version);
  appendSoftwareEntry(out, "Username : ", w.Username);
  appendSoftwareEntry(out, "Uptime : ", w.Uptime);
  appendSoftwareEntry(out, "Command Interpreter : ", w.CommandInterpreter);
  appendSoftwareEntry(out, "Enhancement Pack : ", w.EnhancementPack);
  appendSoftwareEntry(out, "Windows Boot : ", strGetBootDescription(w.WindowsBoot));
  appendSoftwareEntry(out, "Fast Reboot : ", w.FastBoot);
  appendSoftwareEntry(out, "Programs Path : ", w.ProgramsPath);
  appendSoftwareEntry(out, "Prompt : ", w.Prompt);
  appendSoftwareEntry(out, "Paging Drive : ", w.PagingDrive);
  appendSoftwareEntry(out, "Debugging version of user.exe : ", flagText(w.DebugVersionOfUser));
  appendSoftwareEntry(out, "DBCS version of user.exe : ", flagText(w.DBCSVersionOfUser));
  appendSoftwareEntry(out, "Hewbrew & Arabic : ", flagText(w.HebrewAndArabic));
  appendSoftwareEntry(out, "Windows for Pen Computing : ", flagText(w.WindowsForPen));
  appendSoftwareEntry(out, "Security : ", flagText(w.Security));
  appendSoftwareEntry(out, "Screen Reviewer : ", flagText(w.ScreenReviewer));
  appendSoftwareEntry(out, "Drop-Down Menus Right-Aligned : ",
                      flagText(w.DropDownMenusRightAligned));
  appendSoftwareEntry(out, "Network Connection Present : ", flagText(w.NetworkConnection));
  appendSoftwareEntry(out, "Boot to GUI : ", flagText(w.BootToGUI));
  appendSoftwareEntry(out, "Auto scan: ", flagText(w.Autoscan));
  appendSoftwareEntry(out, "Show Logo : ", flagText(w.ShowLogo));
  appendSoftwareEntry(out, "Load Drive Space : ", flagText(w.LoadDriveSpace));
  appendSoftwareEntry(out, "Load Double Space : ", flagText(w.LoadDoubleSpace));
  return out;
}

std::string applicationBlock(const ApplicationInfo& a) {
  std::string out;
  appendSoftwareEntry(out, "Display Name : ", a.DisplayName);
  appendSoftwareEntry(out, "Publisher : ",
                      a.Publisher.empty() ? strGetPublisher(a.DisplayName) : a.Publisher);
  appendSoftwareEntry(out, "Display Version : ", a.DisplayVersion);
  appendSoftwareEntry(out, "Install Location : ", a.InstallLocation);
  appendSoftwareEntry(out, "URL Info : ", a.URLInfoAbout);
  appendSoftwareEntry(out, "Uninstall String : ", a.UninstallString);
  return out;
}

ViewText softwareInfoText(const SoftwareInfo& software, int selectedIndex,
                          std::string_view selectedText) {
  ViewText result;
  if (selectedIndex == 0) {
    result.text = windowsInfoText(software.Windows);
    return result;
  }
  try {
    const Array<ApplicationInfo>& apps = orEmptyList(software.Applications);
    const long long last = upperBound(apps);
    for (long long i = 0; i <= last; ++i) {
      const ApplicationInfo& app = element(apps, i);
      if (app.DisplayName == selectedText) result.text += applicationBlock(app);
    }
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

ViewText printersText(const HardwareInfo& hardware) {
  ViewText result;
  if (!hardware.PrintersPresent.isTrue()) {
    result.text = "No printers attached/connected";
    return result;
  }
  try {
    const Array<PrinterInfo>& printers = orEmptyList(hardware.Printers);
    const long long last = upperBound(printers);
    for (long long i = 0; i <= last; ++i) {
      const std::string block = printerBlock(element(printers, i));
      if (i == 0) {
        result.text = block;
      } else {
        result.text.append(kCrLf).append(kCrLf).append(block);
      }
    }
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

std::string keyboardText(const KeyboardInfo& k) {
  std::string out;
  const auto entry = [&out](std::string_view label, std::string_view value) {
    out.append(label).push_back(kTab);
    out.append(value).append(kCrLf).push_back(kTab);
  };
  entry("Model : ", k.Model);
  entry("Keyboard Type : ", k.KeyboardType);
  entry("Layout Name : ", k.LayoutName);
  entry("Layout ID : ", k.LayoutID);
  entry("Driver File : ", k.DriverFile);
  entry("Driver Description : ", k.DriverDesc);
  entry("Driver Provider : ", k.DriverProv);
  entry("Driver Version : ", k.DriverVers);
  entry("Driver Date : ", k.DriverDate);
  entry("Driver Time : ", k.DriverTime);
  entry("OEM Code Page : ", codePageName(k.OEMCodePage, &getOEMCodePageName));
  entry("ANSI Code Page : ", codePageName(k.ANSICodePage, &getANSICodePageName));
  entry("Caret Width : ", k.CaretWidth);
  entry("Caret Flash Speed : ", k.CaretFlashSpeed);
  entry("No. Function Keys : ", k.NumberOfFunctionKeys);
  entry("Repeat Delay : ", k.RepeatDelay);
  entry("Repeat Speed : ", k.RepeatSpeed);
  return out;
}

std::string processorText(const ProcessorInfo& p) {
  std::string out;
  appendTabbedLine(out, "CPU Class : ", p.CPUClass);
  appendTabbedLine(out, "CPU Speed : ", p.CPUSpeed);
  appendTabbedLine(out, "CPU Version : ", p.CPUVersion);
  appendTabbedLine(out, "CPU Stepping : ", p.CPUStepping);
  appendTabbedLine(out, "Number of CPUs : ", p.NumberOfCPUs);
  appendTabbedLine(out, "Is a low end CPU : ", flagText(p.LowEndCPU));
  appendTabbedLine(out, "Block Size : ", p.BlockSize);
  appendTabbedLine(out, "Active Processor Mark : ", p.ActiveProcessorMark);
  appendTabbedLine(out, "Min App Address : ", p.MinAppAddress);
  appendTabbedLine(out, "Max App Address : ", p.MaxAppAddress);
  appendTabbedLine(out, "Page Size : ", p.PageSize);
  return out;
}

std::string memoryText(const MemoryInfo& m) {
  std::string out;
  appendTabbedLine(out, "Total Memory Available : ", m.TotalMemoryAvailable);
  appendTabbedLine(out, "Total Physical Memory : ", m.TotalPhysicalMemory);
  appendTabbedLine(out, "Total Physical Memory Available : ", m.TotalAvailablePhysicalMemory);
  appendTabbedLine(out, "Current Swap File : ", m.CurrentSwapFile);
  appendTabbedLine(out, "Max Swap File : ", m.MaxSwapFile);
  appendTabbedLine(out, "Free Swap File : ", m.FreeSwapFile);
  appendTabbedLine(out, "Memory Load : ", m.MemoryLoad);
  return out;
}

ViewText videoText(const VideoInfo& v) {
  ViewText result;
  try {
    std::string out = "Display Adapters : ";
    out.append(kCrLf);
    const Array<Text>& cards = orEmptyList(v.VideoCards);
    const long long lastCard = upperBound(cards);
    for (long long i = 0; i <= lastCard; ++i) {
      out.push_back(kTab);
      out.append(element(cards, i)).append(kCrLf);
    }
    out.append(kCrLf);
    appendTabbedLine(out, "Current Resolution : ", v.currResolution);
    appendTabbedLine(out, "Current Colour Depth : ", v.currColourDepth);
    appendTabbedLine(out, "Current Frequency : ", v.currFrequency);
    out.append(kCrLf);
    out.append("Supported Video Modes : ").append(kCrLf);
    const Array<Text>& modes = orEmptyList(v.VideoModes);
    const long long lastMode = upperBound(modes);
    for (long long i = 0; i <= lastMode; ++i) {
      out.push_back(kTab);
      out.append(element(modes, i)).append(kCrLf);
    }
    result.text = std::move(out);  // written only when complete
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

ViewText soundText(const SoundInfo& s) {
  ViewText result;
  try {
    std::string out;
    appendTabbedLine(out, "Sound Present : ", flagText(s.boolPresent));
    appendTabbedLine(out, "DMA : ", s.strDMA);
    appendTabbedLine(out, "IO Port : ", s.strIOPort);
    appendTabbedLine(out, "IRQ : ", s.strIRQ);
    out.append(kCrLf);
    out.append("Output Devices : ").append(kCrLf);
    const long long last = arrayExtent(s.WaveOutDevices);
    if (last != -1) {
      for (long long i = 0; i <= last; ++i) {
        const WaveDeviceCaps& device = element(s.WaveOutDevices, i);
        if (!device.DeviceName.empty()) appendOutputDevice(out, device);
      }
    }
    result.text = std::move(out);
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

ViewText drivesText(const Array<DriveInfo>& drivesField) {
  ViewText result;
  try {
    const Array<DriveInfo>& drives = orEmptyList(drivesField);
    const long long last = upperBound(drives) - 1;
    std::string out;
    for (long long i = 0; i <= last; ++i) {
      const DriveInfo& d = element(drives, i);
      out.append(d.DriveName).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Sort : ").append(d.DriveSort).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Label : ").append(d.DriveLabel).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Serial : ").append(d.DriveSerial).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Size : ").append(d.DriveSize).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Free : ").append(d.DriveFree).append(kCrLf);
      out.push_back(kTab);
      out.append("Drive Used : ").append(d.DriveUsed);
      if (i != last) out.append(kCrLf).append(kCrLf);
    }
    result.text = std::move(out);
  } catch (const RaisedError& e) {
    result.error = toViewError(e);
  }
  return result;
}

ViewText hardwareInfoText(const HardwareInfo& hardware, std::string_view category) {
  if (category == kHardwareCategories[0]) return printersText(hardware);
  if (category == kHardwareCategories[1]) return ViewText{keyboardText(hardware.Keyboard), {}};
  if (category == kHardwareCategories[2]) return ViewText{processorText(hardware.Processor), {}};
  if (category == kHardwareCategories[3]) return ViewText{memoryText(hardware.Memory), {}};
  if (category == kHardwareCategories[4]) return videoText(hardware.Video);
  if (category == kHardwareCategories[5]) return soundText(hardware.Sound);
  if (category == kHardwareCategories[6]) return drivesText(hardware.Drives);
  return ViewText{};
}

std::string networkInfoText(const NetworkInfo& n) {
  std::string out;
  appendTabbedLine(out, "Hostname : ", n.Hostname);
  appendTabbedLine(out, "IP Address : ", n.IP);
  appendTabbedLine(out, "Domain Name : ", n.DomainName);
  appendTabbedLine(out, "Is NT System : ", flagText(n.IsNT));
  if (n.IsNT.isTrue()) {
    out.push_back(kTab);
    appendTabbedLine(out, "Is Admin : ", flagText(n.IsAdmin));
    out.push_back(kTab);
    appendTabbedLine(out, "Username : ", n.UserName);
  }
  return out;
}

}  // namespace quorvane
