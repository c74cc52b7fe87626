#include "reportlib/clsXMLExport.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

#include "common/ErrorReport.h"
#include "common/modTextualDesc.h"
#include "reportlib/modMain.h"

namespace dovrel {

namespace {

void appendClean(std::string& out, std::string_view text, bool attribute) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '>':
        // "]]>" may not stand in character data: its ">" becomes a reference.
        if (i >= 2 && text[i - 1] == ']' && text[i - 2] == ']') {
          out += "&#62;";
        } else {
          out += ch;
        }
        break;
      case '&': out += "&#38;"; break;
      case '<': out += "&#60;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case 127: out += "&#127;"; break;
      case '"':
        if (attribute) {
          out += "&#34;";
        } else {
          out += ch;
        }
        break;
      default:
        out += c < 32 ? '?' : ch;
    }
  }
}

const char* tf(quorvane::Flag f) { return f.isTrue() ? "True" : "False"; }

// Writes the lines of one block.
class Lines {
 public:
  explicit Lines(std::string& out) : out_(out) {}

  // indentation, then the raw text, then CR LF
  void raw(int tabs, std::string_view text) {
    out_.append(static_cast<std::size_t>(tabs), '\t');
    out_.append(text);
    out_.append("\r\n");
  }
  void element(int tabs, std::string_view name, std::string_view value) {
    out_.append(static_cast<std::size_t>(tabs), '\t');
    out_.append("<").append(name).append(">");
    appendClean(out_, value, false);
    out_.append("</").append(name).append(">\r\n");
  }
  void flag(int tabs, std::string_view name, quorvane::Flag value) {
    element(tabs, name, tf(value));
  }
  // "<name a="v" b="v"...>" with cleaned attribute values; `close` adds "/".
  void open(int tabs, std::string_view name,
            std::initializer_list<std::pair<std::string_view, std::string_view>> attributes,
            bool close = false) {
    out_.append(static_cast<std::size_t>(tabs), '\t');
    out_.append("<").append(name);
    for (const auto& [attr, value] : attributes) {
      out_.append(" ").append(attr).append("=\"");
      appendClean(out_, value, true);
      out_.append("\"");
    }
    out_.append(close ? "/>\r\n" : ">\r\n");
  }

 private:
  std::string& out_;
};

template <class T>
std::size_t writtenCount(const quorvane::Array<T>& a) {
  // The last element of these arrays is the empty terminator of the record.
  return a.size() > 0 ? a.size() - 1 : 0;
}

void waveDevices(Lines& l, std::string_view element,
                 const quorvane::Array<quorvane::WaveDeviceCaps>& devices) {
  for (std::size_t k = 0; k < devices.size(); ++k) {
    const auto& d = devices[k];
    const std::string number = std::to_string(k);
    l.open(4, element, {{"deviceNumber", number}});
    l.element(5, "DeviceName", d.DeviceName);
    l.element(5, "DriverVers", d.DriverVersion);
    l.element(5, "AudioChannels", d.AudioChannels);
    l.element(5, "ManufacturerID", d.ManufacturerID);
    l.element(5, "ProductID", d.ProductID);
    l.element(5, "Features", std::to_string(d.Features));
    l.raw(4, "</" + std::string(element) + ">");
  }
}

std::string codePageText(std::string_view text, std::string (*lookup)(std::int32_t)) {
  const auto number = codePageNumber(text);
  return number ? lookup(*number) : std::string("Unknown");
}

void windowsSection(Lines& l, const quorvane::AuditRecord& r) {
  const auto& w = r.Software.Windows;
  l.raw(3, "<windowsInformation>");
  l.element(4, "RegisteredOwner", w.RegisteredOwner);
  l.element(4, "RegisteredOrganization", w.RegisteredOrganization);
  l.element(4, "OperatingSystem", w.OperatingSystem);
  l.element(4, "Version", w.Version);
  l.element(4, "Username", w.Username);
  l.element(4, "ProductKey", w.ProductKey);
  l.element(4, "WindowsID", w.WindowsID);
  l.element(4, "Uptime", w.Uptime);
  l.element(4, "CommandInterpreter", w.CommandInterpreter);
  l.element(4, "EnhancementPack", w.EnhancementPack);
  l.flag(4, "DebugVersionOfUser.exe", w.DebugVersionOfUser);
  l.flag(4, "DBCSversionOfUser.exe", w.DBCSVersionOfUser);
  l.element(4, "WindowsBoot", quorvane::strGetBootDescription(w.WindowsBoot));
  l.flag(4, "HebrewAndArabic", w.HebrewAndArabic);
  l.flag(4, "WindowsForPen", w.WindowsForPen);
  l.flag(4, "Security", w.Security);
  l.flag(4, "ScreenReviewer", w.ScreenReviewer);
  l.flag(4, "ShowSounds", w.ShowSounds);
  l.flag(4, "DropDownMenusRightAligned", w.DropDownMenusRightAligned);
  l.element(4, "FastBoot", w.FastBoot);
  l.flag(4, "NetworkConnection", w.NetworkConnection);
  l.flag(4, "BootToGUI", w.BootToGUI);
  l.flag(4, "Autoscan", w.Autoscan);
  l.flag(4, "ShowLogo", w.ShowLogo);
  l.flag(4, "LoadDriveSpace", w.LoadDriveSpace);
  l.flag(4, "LoadDoubleSpace", w.LoadDoubleSpace);
  l.element(4, "ProgramsPath", w.ProgramsPath);
  l.element(4, "Prompt", w.Prompt);
  l.element(4, "PagingDrive", w.PagingDrive);
  l.raw(3, "</windowsInformation>");
}

void applicationsSection(Lines& l, const quorvane::AuditRecord& r) {
  const auto& apps = r.Software.Applications;
  l.raw(3, "<applicationsInformation>");
  for (std::size_t i = 0; i < writtenCount(apps); ++i) {
    const auto& a = apps[i];
    l.open(4, "appInfo", {{"displayName", a.DisplayName}});
    l.element(5, "DisplayVersion", a.DisplayVersion);
    l.element(5, "Publisher", a.Publisher);
    l.element(5, "InstallLocation", a.InstallLocation);
    l.element(5, "UninstallString", a.UninstallString);
    l.element(5, "URLInfoAbout", a.URLInfoAbout);
    l.raw(4, "</appInfo>");
  }
  l.raw(3, "</applicationsInformation>");
}

void drivesSection(Lines& l, const quorvane::HardwareInfo& hw) {
  l.raw(3, "<drivesInformation>");
  for (std::size_t i = 0; i < writtenCount(hw.Drives); ++i) {
    const auto& d = hw.Drives[i];
    l.open(4, "drive", {{"label", d.DriveLabel}});
    l.element(5, "DriveName", d.DriveName);
    l.element(5, "DriveSort", d.DriveSort);
    l.element(5, "DriveLabel", d.DriveLabel);
    l.element(5, "DriveSerial", d.DriveSerial);
    l.element(5, "DriveSize", d.DriveSize);
    l.element(5, "DriveFree", d.DriveFree);
    l.element(5, "DriveUsed", d.DriveUsed);
    l.element(5, "DriveType", d.DriveType);
    l.raw(4, "</drive>");
  }
  l.raw(3, "</drivesInformation>");
}

void keyboardSection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& k = hw.Keyboard;
  l.raw(3, "<keyboardInformation>");
  l.element(4, "Model", k.Model);
  l.element(4, "KeyboardType", k.KeyboardType);
  l.element(4, "OEMCodePage", codePageText(k.OEMCodePage, &quorvane::getOEMCodePageName));
  l.element(4, "ANSICodePage", codePageText(k.ANSICodePage, &quorvane::getANSICodePageName));
  l.element(4, "LayoutID", k.LayoutID);
  l.element(4, "LayoutName", k.LayoutName);
  l.element(4, "RepeatDelay", k.RepeatDelay);
  l.element(4, "RepeatSpeed", k.RepeatSpeed);
  l.element(4, "NumberOfFunctionKeys", k.NumberOfFunctionKeys);
  l.element(4, "CaretFlashSpeed", k.CaretFlashSpeed);
  l.element(4, "CaretWidth", k.CaretWidth);
  l.element(4, "DriverFile", k.DriverFile);
  l.element(4, "DriverDesc", k.DriverDesc);
  l.element(4, "DriverVers", k.DriverVers);
  l.element(4, "DriverProv", k.DriverProv);
  l.element(4, "DriverDate", k.DriverDate);
  l.element(4, "DriverTime", k.DriverTime);
  l.raw(3, "</keyboardInformation>");
}

void memorySection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& m = hw.Memory;
  l.raw(3, "<memoryInformation>");
  l.element(4, "TotalMemoryAvailable", m.TotalMemoryAvailable);
  l.element(4, "TotalPhysicalMemory", m.TotalPhysicalMemory);
  l.element(4, "TotalAvailablePhysicalMemory", m.TotalAvailablePhysicalMemory);
  l.element(4, "MaxSwapFile", m.MaxSwapFile);
  l.element(4, "CurrentSwapFile", m.CurrentSwapFile);
  l.element(4, "FreeSwapFile", m.FreeSwapFile);
  l.element(4, "MemoryLoad", m.MemoryLoad + "%");
  l.raw(3, "</memoryInformation>");
}

void printersSection(Lines& l, const quorvane::HardwareInfo& hw) {
  if (hw.PrintersPresent.isTrue()) {
    const std::string count = std::to_string(hw.Printers.size());
    l.open(3, "printerInformation", {{"count", count}});
    for (const auto& p : hw.Printers) {
      l.element(4, "DisplayName", p.DisplayName);
      l.element(4, "DriverName", p.DriverName);
      l.element(4, "Port", p.Port);
      l.flag(4, "Colour", p.Colour);
      l.element(4, "Duplex", quorvane::getDuplexDescription(p.Duplex));
      l.element(4, "Orientation", quorvane::getDocumentOrientation(p.Orientation));
      l.element(4, "PaperBin", quorvane::getPaperBin(p.PaperBin));
      l.element(4, "PaperSize", quorvane::getPaperSize(p.PaperSize));
      l.element(4, "PrintQuality", quorvane::getPrintQuality(p.PrintQuality));
    }
    l.raw(3, "</printerInformation>");
  } else {
    l.raw(3, "<printerInformation count=\"0\"/>");
  }
}

void processorSection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& c = hw.Processor;
  l.raw(3, "<processorInformation>");
  l.element(4, "NumberOfCPUs", c.NumberOfCPUs);
  l.element(4, "CPUSpeed", c.CPUSpeed);
  l.element(4, "ActiveProcessorMark", c.ActiveProcessorMark);
  l.element(4, "CPUVersion", c.CPUVersion);
  l.element(4, "CPUClass", c.CPUClass);
  l.element(4, "CPUStepping", c.CPUStepping);
  l.element(4, "MinAppAddress", c.MinAppAddress);
  l.element(4, "MaxAppAddress", c.MaxAppAddress);
  l.element(4, "PageSize", c.PageSize);
  l.flag(4, "LowEndCPU", c.LowEndCPU);
  l.element(4, "BlockSize", c.BlockSize);
  l.raw(3, "</processorInformation>");
}

void soundSection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& s = hw.Sound;
  if (s.boolPresent.isTrue()) {
    l.raw(3, "<soundInformation soundPresent=\"True\">");
    l.element(4, "boolPresent", "True");
    l.element(4, "strIOPort", s.strIOPort);
    l.element(4, "strIRQ", s.strIRQ);
    l.element(4, "strDMA", s.strDMA);
    waveDevices(l, "waveInDeviceCapabilities", s.WaveInDevices);
    waveDevices(l, "waveOutDeviceCapabilities", s.WaveOutDevices);
    l.raw(3, "</soundInformation>");
  } else {
    l.raw(3, "<soundInformation soundPresent=\"False\"/>");
  }
}

void videoSection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& v = hw.Video;
  l.open(3, "videoInformation",
         {{"currResolution", v.currResolution},
          {"currColourDepth", v.currColourDepth},
          {"currFrequency", v.currFrequency}});
  for (std::size_t i = 0; i < v.VideoCards.size(); ++i) {
    const std::string number = std::to_string(i);
    l.open(4, "videoCard", {{"deviceNumber", number}, {"deviceName", v.VideoCards[i]}}, true);
  }
  l.raw(4, "<supportedVideoModes>");
  for (std::size_t i = 0; i < v.VideoModes.size(); ++i) {
    l.raw(5, "<videoMode number=\"" + std::to_string(i) + "\">" +
                 makeThisAttributeOkay(v.VideoModes[i]) + "</videoMode>");
  }
  l.raw(4, "</supportedVideoModes>");
  l.raw(3, "</videoInformation>");
}

void networkSection(Lines& l, const quorvane::HardwareInfo& hw) {
  const auto& n = hw.Network;
  l.raw(2, "<networkInformation>");
  l.element(3, "Hostname", n.Hostname);
  l.element(3, "IP", n.IP);
  l.element(3, "DomainName", n.DomainName);
  l.flag(3, "IsAdmin", n.IsAdmin);
  l.element(3, "Username", n.UserName);
  l.flag(3, "IsNT", n.IsNT);
  l.raw(2, "</networkInformation>");
}

}  // namespace

std::string makeThisFieldOkay(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendClean(out, text, false);
  return out;
}

std::string makeThisAttributeOkay(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendClean(out, text, true);
  return out;
}

std::optional<std::int32_t> codePageNumber(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  const auto last = text.find_last_not_of(" \t");
  text = text.substr(first, last - first + 1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string xmlFileHeader() {
  const std::string rule = "<!--" + std::string(68, ' ') + "-->";
  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\r\n";
  s += rule + "\r\n";
  s += "<!--" + std::string(13, ' ') + "This file was generated by Quorvane Pro" +
       std::string(16, ' ') + "-->\r\n";
  s += rule + "\r\n";
  s += "<report>\r\n";
  return s;
}

// One computer's block: software, hardware and network, one writer a section.
void appendComputerBlock(std::string& out, const quorvane::AuditRecord& r) {
  Lines l(out);
  const auto& hw = r.Hardware;
  l.open(1, "computerInformation", {{"ip", hw.Network.IP}});
  l.raw(2, "<softwareInformation>");
  windowsSection(l, r);
  applicationsSection(l, r);
  l.raw(2, "</softwareInformation>");
  l.raw(2, "<hardwareInformation>");
  drivesSection(l, hw);
  keyboardSection(l, hw);
  memorySection(l, hw);
  printersSection(l, hw);
  processorSection(l, hw);
  soundSection(l, hw);
  videoSection(l, hw);
  l.raw(2, "</hardwareInformation>");
  networkSection(l, hw);
  l.raw(1, "</computerInformation>");
}

clsXMLExport::clsXMLExport(ReportHost host) : clsReportBase("clsXMLExport", std::move(host)) {}

bool clsXMLExport::doReport(std::int32_t /*lngReportType*/, const std::string& strPath) {
  host_.resetFailed();
  if (!checkInitialized()) return false;
  const std::string where = "Dovrel.clsXMLExport.doReport";
  std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
  if (!out) {
    host_.reportError(where, quorvane::kErrPathAccess, strPath + ": " + std::strerror(errno),
                      __LINE__);
    return false;
  }
  out << xmlFileHeader();
  progress_.setStatus("Creating XML Report ...");
  std::string block;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    progress_.setProgress(static_cast<float>(i + 1) / static_cast<float>(records_.size()));
    block.clear();
    appendComputerBlock(block, records_[i]);
    out << block;
    if (!out) break;
  }
  out << "</report>\r\n";
  out.close();
  if (!out) {
    host_.reportError(where, quorvane::kErrPathAccess, strPath + ": the export could not be written",
                      __LINE__);
    return false;
  }
  progress_.unload();
  StartDoc(strPath, host_);
  return !host_.failed();
}

}  // namespace dovrel
