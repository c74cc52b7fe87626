#include "platform/linux/LinuxRegistry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <set>

#include "common/Text8.h"
#include "platform/linux/LinuxSources.h"
#include "platform/linux/LinuxSystemInfo.h"

namespace quorvane::platform {

namespace {

constexpr std::string_view kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

const std::vector<LinuxRegistrySource>& linuxRegistrySources() {
  static const std::vector<LinuxRegistrySource> sources = {
      {{"/etc/machine-id"}, fillWindowsCurrentVersion},
      {{"/var/lib/dpkg/status"}, fillUninstallFromDpkg},
      {{"/usr/lib/sysimage/rpm/rpmdb.sqlite", "/usr/lib/sysimage/rpm/Packages.db",
        "/var/lib/rpm/rpmdb.sqlite", "/var/lib/rpm/Packages.db", "/var/lib/rpm/Packages"},
       [](RegistryTree& t) { addPackageKeys(t, linux_backend::readRpmPackages("/"), "rpm"); }},
      {{"/var/lib/pacman/local"},
       [](RegistryTree& t) { addPackageKeys(t, linux_backend::readPacmanPackages("/"), "pacman"); }},
      {{"/lib/apk/db/installed"},
       [](RegistryTree& t) { addPackageKeys(t, linux_backend::readApkPackages("/"), "apk"); }},
      {{"/var/lib/flatpak/app"},
       [](RegistryTree& t) { addPackageKeys(t, linux_backend::readFlatpakApplications("/"), "flatpak"); }},
      {{"/snap"}, [](RegistryTree& t) { addPackageKeys(t, linux_backend::readSnapPackages("/"), "snap"); }},
      {{"/etc/hosts", "/etc/resolv.conf", "/etc/samba/smb.conf", "/etc/hostname"}, fillWorkgroup},
      {{"/proc/cpuinfo"}, linux_backend::fillCentralProcessor},
  };
  return sources;
}

std::string fileStamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return path + ":-;";
  return path + ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) +
         "/" + std::to_string(st.st_size) + "/" + std::to_string(st.st_ino) + ";";
}

class LinuxRegistry final : public RegistryStore {
 public:
  bool keyExists(RootKey root, std::string_view path) const override {
    return tree().keyExists(root, path);
  }
  std::optional<std::string> subKeyName(RootKey root, std::string_view path,
                                        std::uint32_t index) const override {
    return tree().subKeyName(root, path, index);
  }
  std::optional<RegValue> queryValue(RootKey root, std::string_view path,
                                     std::string_view name) const override {
    return tree().queryValue(root, path, name);
  }

 private:
  const RegistryTree& tree() const {
    auto now = std::chrono::steady_clock::now();
    if (tree_ && now - checked_ < std::chrono::seconds(1)) return *tree_;
    checked_ = now;
    std::string stamp;
    for (const auto& s : linuxRegistrySources())
      for (const auto& f : s.dependsOn) stamp += fileStamp(f);
    if (!tree_ || stamp != stamp_) {
      auto fresh = std::make_unique<RegistryTree>();
      for (const auto& s : linuxRegistrySources()) s.fill(*fresh);
      tree_ = std::move(fresh);
      stamp_ = std::move(stamp);
    }
    return *tree_;
  }

  mutable std::unique_ptr<RegistryTree> tree_;
  mutable std::string stamp_;
  mutable std::chrono::steady_clock::time_point checked_{};
};

}  // namespace

void fillWindowsCurrentVersion(RegistryTree& tree) {
  auto text = linux_backend::readTextFile("/etc/machine-id");
  if (!text) return;
  if (auto id = linux_backend::parseMachineId(*text))
    tree.setValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProductId",
                  RegistryTree::sz(*id));
}

void addUninstallKeys(RegistryTree& tree, const std::vector<linux_backend::DpkgPackage>& packages) {
  const std::string base(kUninstallKey);
  // A package installed for several architectures gets one key per
  // architecture ("name:arch"); the others keep their plain name.
  std::multiset<std::string> names;
  for (const auto& p : packages) names.insert(p.name);
  tree.addKey(HKEY_LOCAL_MACHINE, base);
  for (const auto& p : packages) {
    std::string id = names.count(p.name) > 1 ? p.name + ":" + p.architecture : p.name;
    const std::string key = base + "\\" + utf8ToWindows1252(id);
    auto set = [&](const char* value, const std::string& text) {
      tree.setValue(HKEY_LOCAL_MACHINE, key, value, RegistryTree::sz(utf8ToWindows1252(text)));
    };
    set("DisplayName", p.name);
    set("UninstallString", "dpkg --remove " + id);
    set("Publisher", p.maintainer);
    set("DisplayVersion", p.version);
    if (!p.homepage.empty()) set("URLInfoAbout", p.homepage);
  }
}

void addPackageKeys(RegistryTree& tree, const std::vector<linux_backend::InstalledPackage>& packages,
                    std::string_view database) {
  if (packages.empty()) return;
  tree.addKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  for (const auto& p : packages) {
    std::string key = std::string(kUninstallKey) + "\\" + utf8ToWindows1252(p.name);
    if (tree.keyExists(HKEY_LOCAL_MACHINE, key)) key += " (" + std::string(database) + ")";
    auto set = [&](const char* value, const std::string& text) {
      tree.setValue(HKEY_LOCAL_MACHINE, key, value, RegistryTree::sz(utf8ToWindows1252(text)));
    };
    set("DisplayName", p.name);
    set("UninstallString", p.uninstall);
    set("Publisher", p.publisher);
    set("DisplayVersion", p.version);
    if (!p.url.empty()) set("URLInfoAbout", p.url);
    if (!p.location.empty()) set("InstallLocation", p.location);
  }
}

void fillUninstallFromDpkg(RegistryTree& tree) {
  auto text = linux_backend::readTextFile("/var/lib/dpkg/status");
  if (!text) return;
  addUninstallKeys(tree, linux_backend::parseDpkgStatus(*text));
}

std::string workgroupOf(const std::string& hostName, const std::optional<std::string>& hosts,
                        const std::optional<std::string>& resolv,
                        const std::optional<std::string>& smbConf) {
  if (auto dot = hostName.find('.'); dot != std::string::npos && dot + 1 < hostName.size())
    return hostName.substr(dot + 1);
  if (hosts)
    if (auto d = linux_backend::parseHostsDomain(*hosts, hostName)) return *d;
  if (resolv)
    if (auto d = linux_backend::parseResolvDomain(*resolv)) return *d;
  if (smbConf)
    if (auto w = linux_backend::parseSambaWorkgroup(*smbConf)) return *w;
  return "workgroup";
}

void fillWorkgroup(RegistryTree& tree) {
  char host[256] = {};
  std::string hostName;
  if (gethostname(host, sizeof host - 1) == 0) hostName = host;
  const std::string name =
      workgroupOf(hostName, linux_backend::readTextFile("/etc/hosts"),
                  linux_backend::readTextFile("/etc/resolv.conf"),
                  linux_backend::readTextFile("/etc/samba/smb.conf"));
  tree.setValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VXD\\VNETSUP", "Workgroup",
                RegistryTree::sz(utf8ToWindows1252(name)));
}

std::unique_ptr<RegistryStore> makeLinuxRegistry() { return std::make_unique<LinuxRegistry>(); }

}  // namespace quorvane::platform
