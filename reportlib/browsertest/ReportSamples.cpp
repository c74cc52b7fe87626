// dovrel_report_samples MODE DIR: writes a small DataStore (DIR/DataStore/
// <IP>.dat, as the server keeps it) for the tests of the report library run
// from a browser and from Python.
//   versions  six computers sharing products in several versions (one
//             without software), two product names made of markup
//   hostile   audits whose texts hold every byte value, quotation marks,
//             commas, line breaks, markup and 65,535-byte texts, one audit
//             without applications or drives, and DIR/expected.json: the
//             stored bytes (as hex) of every text the CSV reports show
// Test support only; never installed.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"

namespace {

namespace fs = std::filesystem;
using quorvane::AuditRecord;

struct App {
  std::string name, version, publisher, location;
};

AuditRecord computer(const std::string& ip, const std::string& host, const std::string& domain,
                     const std::vector<App>& apps) {
  AuditRecord r = quorvane::makeSampleAudit(0, 1);
  r.Hardware.Network.IP = ip;
  r.Hardware.Network.Hostname = host;
  r.Hardware.Network.DomainName = domain;
  r.Software.Applications.clear();
  for (const App& a : apps) {
    quorvane::ApplicationInfo info;
    info.DisplayName = a.name;
    info.DisplayVersion = a.version;
    info.Publisher = a.publisher;
    info.InstallLocation = a.location;
    r.Software.Applications.push_back(info);
  }
  if (!apps.empty()) r.Software.Applications.push_back(quorvane::ApplicationInfo{});
  return r;
}

bool store(const fs::path& dir, const AuditRecord& r, const std::string& name) {
  std::ofstream out(dir / "DataStore" / name, std::ios::binary | std::ios::trunc);
  out << quorvane::encodeStoredAudit(r) << "\r\n";
  return static_cast<bool>(out);
}

std::vector<AuditRecord> versionSamples() {
  const App ffOld{"Mozilla Firefox", "115.0", "Mozilla", "C:\\Program Files\\Mozilla Firefox"};
  const App ffNew{"Mozilla Firefox", "120.0", "Mozilla", "C:\\Program Files\\Mozilla Firefox"};
  const App zip{"7-Zip", "23.01", "Igor Pavlov", "C:\\Program Files\\7-Zip"};
  const App loOld{"LibreOffice", "7.5.4", "The Document Foundation", "C:\\Program Files\\LibreOffice"};
  const App npp{"Notepad++", "8.5", "Notepad++ Team", "C:\\Program Files\\Notepad++"};
  const App vlc{"VLC media player", "3.0.18", "VideoLAN", "C:\\Program Files\\VideoLAN"};
  return {
      computer("127.0.0.11", "PC-ALPHA", "OFFICE", {ffOld, zip, loOld, npp}),
      computer("127.0.0.12", "PC-BRAVO", "OFFICE", {ffNew, zip, {"Notepad++", "8.6", "", ""}}),
      computer("127.0.0.13", "PC-CHARLIE", "LAB",
               {{"  mozilla firefox ", "120.0", "Mozilla", ""}, {"LibreOffice", "7.6.2", "", ""}, vlc}),
      computer("127.0.0.14", "PC-DELTA", "LAB",
               {ffOld, {"7-Zip", "22.01", "", ""}, {"Tools <Beta> & \"Co\"", "1.0", "", ""},
                {"VLC media player", "3.0.20", "", ""}}),
      computer("127.0.0.15", "PC-ECHO", "WORKGROUP",
               {{"Mozilla Firefox", "121.0", "", ""}, zip, loOld,
                {"<img src=x onerror=\"document.title='owned'\">", "", "", ""}}),
      computer("127.0.0.16", "PC-FOXTROT", "WORKGROUP", {}),
  };
}

std::string everyByte() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

std::string longText(char first) {
  std::string s(65535, ' ');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((first + i * 7) % 256);
  return s;
}

std::vector<AuditRecord> hostileSamples() {
  const std::string quotes = "He said \"hi\", then \"\"left\"\"\r\nnext line\nand\rmore,";
  const std::string markup = "<b>&amp;</b> & <script>alert('x')</script> >";
  AuditRecord a = computer("127.0.0.1", everyByte(), quotes,
                           {{everyByte(), quotes, markup, longText('A')},
                            {"  Padded, \"Product\"  ", " 1.0 ", ",,,", "\t"},
                            {"   ", "blank name, not listed", "", ""},
                            {markup, everyByte(), longText('z'), quotes}});
  a.Hardware.Network.UserName = markup;
  a.Software.Windows.OperatingSystem = longText('\x80');
  a.Software.Windows.Version = quotes;
  a.Hardware.Processor.CPUClass = everyByte();
  a.Hardware.Drives[1].DriveName = "C:\\ \"sys\"; <x>";
  a.AuditDate = "09/12/2026 01:02:03\r\n";
  AuditRecord empty = computer("127.0.0.2", "BARE", "", {});
  empty.Hardware.Drives.clear();
  AuditRecord sample = quorvane::makeSampleAudit(12, 3);
  sample.Hardware.Network.IP = "127.0.0.3";
  sample.Hardware.Network.DomainName = longText('\x01');
  return {a, empty, sample};
}

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

nlohmann::json expected(const AuditRecord& r, const std::string& file) {
  const auto& n = r.Hardware.Network;
  const auto& p = r.Hardware.Processor;
  nlohmann::json apps = nlohmann::json::array(), drives = nlohmann::json::array();
  for (const auto& a : r.Software.Applications) {
    apps.push_back({{"name", hex(a.DisplayName)}, {"version", hex(a.DisplayVersion)},
                    {"publisher", hex(a.Publisher)}, {"location", hex(a.InstallLocation)}});
  }
  for (const auto& d : r.Hardware.Drives) {
    drives.push_back({{"name", hex(d.DriveName)}, {"size", hex(d.DriveSize)}, {"free", hex(d.DriveFree)}});
  }
  return {{"file", file}, {"ip", hex(n.IP)}, {"host", hex(n.Hostname)}, {"domain", hex(n.DomainName)},
          {"user", hex(n.UserName)}, {"os", hex(r.Software.Windows.OperatingSystem)},
          {"osVersion", hex(r.Software.Windows.Version)}, {"cpuClass", hex(p.CPUClass)},
          {"cpuVendor", hex(p.CPUVersion)}, {"cpuSpeed", hex(p.CPUSpeed)}, {"cpus", hex(p.NumberOfCPUs)},
          {"memory", hex(r.Hardware.Memory.TotalPhysicalMemory)}, {"date", hex(r.AuditDate)},
          {"apps", apps}, {"drives", drives}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[1]) != "versions" && std::string(argv[1]) != "hostile")) {
    std::cerr << "usage: dovrel_report_samples versions|hostile DIR\n";
    return 2;
  }
  const bool hostile = std::string(argv[1]) == "hostile";
  const fs::path dir = argv[2];
  fs::create_directories(dir / "DataStore");
  nlohmann::json manifest = nlohmann::json::array();
  int k = 0;
  for (const AuditRecord& r : hostile ? hostileSamples() : versionSamples()) {
    // File names stay plain whatever the address text holds.
    const std::string file = "127.0.0." + std::to_string(hostile ? ++k : 10 + ++k) + ".dat";
    if (!store(dir, r, file)) {
      std::cerr << "cannot write " << (dir / "DataStore").string() << "\n";
      return 1;
    }
    manifest.push_back(expected(r, file));
  }
  if (hostile) std::ofstream(dir / "expected.json") << manifest.dump(1) << "\n";
  return 0;
}
