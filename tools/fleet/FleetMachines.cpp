#include "tools/fleet/FleetMachines.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "common/ErrorNumbers.h"

namespace quorvane::fleet {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kUninstallRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kVnetsup = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VXD\\VNETSUP";

struct App {
  const char* key;
  const char* name;
  const char* version;
  const char* publisher;
  const char* url;
};

// Software an office of the time had installed; some with a blank version,
// publisher or address, as real uninstall keys often are.
constexpr std::array<App, 48> kApps{{
    {"Office8.0", "Microsoft Office 97, Professional Edition", "", "Microsoft", ""},
    {"{90110409-6000-11D3-8CFE-0050048383C9}", "Microsoft Office XP Professional", "10.0.2627.01", "Microsoft Corporation", "http://www.microsoft.com/office"},
    {"{91110409-6000-11D3-8CFE-0150048383C9}", "Microsoft Office Professional Edition 2003", "11.0.5614.0", "Microsoft Corporation", "http://www.microsoft.com/office"},
    {"WinZip", "WinZip 8.0 ", "8.0", "WinZip Computing, Inc.", "http://www.winzip.com"},
    {"WinRAR archiver", "WinRAR archiver", "3.71.0", "win.rar GmbH", "http://www.rarlab.com"},
    {"7-Zip", "7-Zip 4.57", "4.57", "Igor Pavlov", "http://www.7-zip.org"},
    {"{AC76BA86-7AD7-1033-7B44-A70500000002}", "Adobe Reader 7.0.5", "7.0.5", "Adobe Systems Incorporated", "http://www.adobe.com"},
    {"{AC76BA86-7AD7-1033-7B44-A81200000003}", "Adobe Reader 8.1.2", "8.1.2", "Adobe Systems Incorporated", "http://www.adobe.com"},
    {"Adobe Flash Player ActiveX", "Adobe Flash Player 10 ActiveX", "10.0.22.87", "Adobe Systems Incorporated", "http://www.adobe.com"},
    {"Mozilla Firefox (3.6.8)", "Mozilla Firefox (3.6.8)", "3.6.8 (en-GB)", "Mozilla", "http://www.mozilla.com/en-GB/"},
    {"Mozilla Firefox (2.0.0.20)", "Mozilla Firefox (2.0.0.20)", "2.0.0.20 (en-US)", "Mozilla", "http://www.mozilla.com/en-US/"},
    {"Mozilla Thunderbird (2.0.0.24)", "Mozilla Thunderbird (2.0.0.24)", "2.0.0.24 (en-US)", "Mozilla", "http://www.mozilla.org/"},
    {"Opera 9.64", "Opera 9.64", "9.64", "Opera Software ASA", "http://www.opera.com"},
    {"{26A24AE4-039D-4CA4-87B4-2F83216010FF}", "Java(TM) 6 Update 20", "6.0.200", "Sun Microsystems, Inc.", "http://java.com"},
    {"{3248F0A8-6813-11D6-A77B-00B0D0142000}", "Java 2 Runtime Environment, SE v1.4.2", "1.4.2", "Sun Microsystems, Inc.", "http://java.sun.com"},
    {"QuickTime", "QuickTime", "7.6.6", "Apple Inc.", "http://www.apple.com"},
    {"{6D8B3C15-2B73-4C06-9D14-2A4CC7A1E1F0}", "iTunes", "9.2.1.5", "Apple Inc.", "http://www.apple.com/itunes/"},
    {"Winamp", "Winamp", "5.572", "Nullsoft, Inc", "http://www.winamp.com/"},
    {"VLC media player", "VLC media player 1.1.4", "1.1.4", "VideoLAN", "http://www.videolan.org/"},
    {"RealPlayer 6.0", "RealPlayer", "6.0.14", "RealNetworks", "http://www.real.com"},
    {"Symantec AntiVirus", "Symantec AntiVirus", "10.1.5000.5", "Symantec Corporation", "http://www.symantec.com"},
    {"{A2708C00-9C8B-4E11-B2F2-56E8F4B1E6F0}", "McAfee VirusScan Enterprise", "8.5.0.781", "McAfee, Inc.", "http://www.mcafee.com"},
    {"AVG8Uninstall", "AVG Free 8.5", "8.5.0.364", "AVG Technologies", "http://www.avg.com"},
    {"Norton Ghost", "Norton Ghost 2003", "7.0", "Symantec Corporation", ""},
    {"PuTTY_is1", "PuTTY version 0.60", "0.60", "Simon Tatham", "http://www.chiark.greenend.org.uk/~sgtatham/putty/"},
    {"WinSCP3_is1", "WinSCP 4.2.9", "4.2.9", "Martin Prikryl", "http://winscp.net/"},
    {"Notepad++", "Notepad++", "5.8.2", "Notepad++ Team", "http://notepad-plus-plus.org/"},
    {"UltraEdit", "UltraEdit-32", "12.20", "IDM Computer Solutions, Inc.", "http://www.ultraedit.com"},
    {"TortoiseSVN", "TortoiseSVN 1.6.11.20210", "1.6.20210", "TortoiseSVN", "http://tortoisesvn.net/"},
    {"{B7E1E0B1-9C55-4C3D-A7C1-4C23E7B4A9A7}", "Microsoft .NET Framework 2.0 Service Pack 2", "2.2.30729", "Microsoft Corporation", ""},
    {"Microsoft .NET Framework 3.5 SP1", "Microsoft .NET Framework 3.5 SP1", "3.5.30729", "Microsoft Corporation", ""},
    {"{7299052b-02a4-4627-81f2-1818da5d550d}", "Microsoft Visual C++ 2005 Redistributable", "8.0.56336", "Microsoft Corporation", ""},
    {"Visio 2003", "Microsoft Office Visio Professional 2003", "11.0.5614", "Microsoft Corporation", ""},
    {"Project 2003", "Microsoft Office Project Standard 2003", "11.0.5614", "Microsoft Corporation", ""},
    {"CCleaner", "CCleaner (remove only)", "2.36", "Piriform", "http://www.ccleaner.com"},
    {"Google Chrome", "Google Chrome", "6.0.472.63", "Google Inc.", ""},
    {"{8A69D345-D564-463C-AFF1-A69D9E530F96}", "Google Update Helper", "1.2.183.23", "Google Inc.", ""},
    {"Skype_is1", "Skype(TM) 4.2", "4.2.169", "Skype Technologies S.A.", "http://www.skype.com"},
    {"ICQ", "ICQ 6.5", "6.5", "ICQ", "http://www.icq.com"},
    {"MSN Messenger", "MSN Messenger 7.0", "7.0.0816", "Microsoft Corporation", ""},
    {"Lotus Notes 6.5", "Lotus Notes 6.5", "6.5", "IBM", ""},
    {"SAP GUI for Windows 7.10", "SAP GUI for Windows 7.10 (Patchlevel 13)", "7.10", "SAP AG", ""},
    {"Sage Line 50", "Sage Line 50 v12", "12.0", "Sage (UK) Limited", ""},
    {"Crystal Reports 9", "Crystal Reports 9", "9.2.0.448", "Crystal Decisions", ""},
    {"Paint Shop Pro 7", "Jasc Paint Shop Pro 7", "7.04", "Jasc Software", ""},
    {"GIMP-2_is1", "GIMP 2.6.10", "2.6.10", "The GIMP Team", "http://www.gimp.org/"},
    {"PDFCreator", "PDFCreator", "0.9.9", "Frank Heind\xc3\xb6rfer, Philip Chinery", "http://www.pdfforge.org"},
    {"Outil de la Soci\xc3\xa9t\xc3\xa9", "Outil de la Soci\xc3\xa9t\xc3\xa9", "1.2", "Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale", ""},
}};

constexpr std::array<const char*, 10> kDepartments{
    {"ACCT", "SALES", "HR", "IT", "OPS", "LAB", "RECEPT", "WHSE", "MKTG", "LEGAL"}};
constexpr std::array<const char*, 12> kOwners{
    {"Jane Doe", "John Smith", "Margaret Hale", "Ana Lima", "Kenji Sato", "Ola Nordmann",
     "Jos\xc3\xa9 Garc\xc3\xad" "a", "Fatima Khan", "Pierre Dubois", "Eva Novak", "", "Administrator"}};

json regSz(const std::string& value) { return json{{"type", "REG_SZ"}, {"value", value}}; }

}  // namespace

std::string fleetAddress(int index) {
  return "127.0." + std::to_string(1 + index / 254) + "." + std::to_string(1 + index % 254);
}

const std::vector<std::string>& fleetDomains() {
  static const std::vector<std::string> kDomains{"CORP", "SALES", "ENGINEERING", "EXAMPLE",
                                                 "WORKGROUP", "Branch-North", "branch-south", "LAB"};
  return kDomains;
}

json makeFleetMachine(const json& base, int index, std::mt19937& rng) {
  json m = base;
  const auto pick = [&rng](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  const std::string dept = kDepartments[pick(kDepartments.size())];
  char host[32];
  std::snprintf(host, sizeof host, "%s-PC%05d", dept.c_str(), index);
  const std::string domain = fleetDomains()[pick(fleetDomains().size())];
  const std::string address = fleetAddress(index);
  const bool nt = m.value("/version/platformId"_json_pointer, 0) == 2;

  m["description"] = "Fleet machine " + std::to_string(index) + " (" + host + ", " + domain + ")";

  // Identity: host name, domain or workgroup, owner.
  json& reg = m["registry"];
  if (!reg.is_object()) reg = json::object();
  m["network"]["hostName"] = host;
  if (nt) {
    m["account"]["logonDomain"] = domain;
  } else {
    reg[kVnetsup]["ComputerName"] = regSz(host);
    reg[kVnetsup]["Workgroup"] = regSz(domain);
  }
  for (auto& [key, values] : reg.items()) {
    if (values.is_object() && values.contains("RegisteredOwner")) {
      values["RegisteredOwner"] = regSz(kOwners[pick(kOwners.size())]);
    }
  }

  // A keyboard driver the audit can read: NT machines name none in
  // system.ini, which the audit reports as an error on every run; the fleet
  // names the layout file the machine carries.
  json& boot = m["iniFiles"]["system.ini"]["boot"];
  if (!boot.is_object()) boot = json::object();
  if (!boot.contains("keyboard.drv") && m["files"]["list"].is_object()) {
    for (const auto& [path, file] : m["files"]["list"].items()) {
      const std::string name = path.substr(path.find_last_of('\\') + 1);
      std::string upper = name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (upper.rfind("KBD", 0) == 0 || upper.rfind("KEYBOARD", 0) == 0) {
        boot["keyboard.drv"] = name;
        break;
      }
    }
  }
  if (boot.empty()) m["iniFiles"]["system.ini"].erase("boot");

  // Network: one loopback-range address of its own.
  m["network"]["addresses"] = json::array(
      {json{{"interface", "MS TCP Loopback interface"}, {"address", "127.0.0.1"}, {"up", true}, {"loopback", true}},
       json{{"interface", "Fleet Ethernet Adapter"}, {"address", address}, {"up", true}, {"loopback", false}}});
  m["network"]["routes"] = json{{"127.0.0.1", address}};

  // Applications: a fresh uninstall list drawn from the pool, in pool order.
  for (auto it = reg.begin(); it != reg.end();) {
    if (it.key().rfind(kUninstallRoot, 0) == 0) {
      it = reg.erase(it);
    } else {
      ++it;
    }
  }
  const std::size_t wanted = 3 + pick(kApps.size() - 3);
  std::vector<std::size_t> chosen(kApps.size());
  for (std::size_t i = 0; i < chosen.size(); ++i) chosen[i] = i;
  std::shuffle(chosen.begin(), chosen.end(), rng);
  chosen.resize(wanted);
  std::sort(chosen.begin(), chosen.end());
  for (std::size_t i : chosen) {
    const App& a = kApps[i];
    json key = json::object();
    key["DisplayName"] = regSz(a.name);
    if (*a.version) key["DisplayVersion"] = regSz(a.version);
    if (*a.publisher) key["Publisher"] = regSz(a.publisher);
    if (*a.url) key["URLInfoAbout"] = regSz(a.url);
    key["UninstallString"] = regSz(std::string("C:\\WINDOWS\\UNINST.EXE -f\"") + a.key + "\"");
    reg[std::string(kUninstallRoot) + a.key] = std::move(key);
  }
  return m;
}

std::vector<fs::path> defaultMachineTemplates() {
  const fs::path dir = fs::path(QUORVANE_SOURCE_DIR) / "tests" / "fixtures" / "machines";
  return {dir / "winxp-pro.json", dir / "win98se.json"};
}

Status writeFleetMachines(const fs::path& outDir, int count, std::uint32_t seed,
                          const std::vector<fs::path>& templates) {
  if (count < 0 || count > kMaxFleetAgents) {
    return Status::Error(kErrInvalidCall, "Invalid procedure call or argument: machine count " + std::to_string(count));
  }
  if (templates.empty()) return Status::Error(kErrInvalidCall, "Invalid procedure call or argument: no template machine");
  std::vector<json> bases;
  for (const fs::path& t : templates) {
    std::ifstream in(t, std::ios::binary);
    if (!in) return Status::Error(kErrFileNotFound, "File not found: " + t.string());
    json j = json::parse(in, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return Status::Error(kErrTypeMismatch, "Type mismatch: not a machine file: " + t.string());
    bases.push_back(std::move(j));
  }
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec) return Status::Error(kErrPathAccess, "Path/File access error: " + outDir.string() + " (" + ec.message() + ")");
  std::mt19937 rng(seed);
  for (int i = 0; i < count; ++i) {
    const json m = makeFleetMachine(bases[static_cast<std::size_t>(i) % bases.size()], i, rng);
    char name[32];
    std::snprintf(name, sizeof name, "machine-%05d.json", i);
    std::ofstream out(outDir / name, std::ios::binary | std::ios::trunc);
    out << m.dump(1) << "\n";
    if (!out) return Status::Error(kErrDiskFull, std::string("Disk full: cannot write ") + (outDir / name).string());
  }
  return Status::Ok();
}

std::vector<fs::path> listMachineFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == ".json") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace quorvane::fleet
