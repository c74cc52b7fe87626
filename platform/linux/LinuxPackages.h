// LinuxPackages: the installed software of the package databases beside
// dpkg, each read raw below a machine root and parsed by a pure function:
//
// - pacman (Arch): /var/lib/pacman/local/<name-version>/desc, sections
//   "%NAME%", "%VERSION%", "%URL%", "%PACKAGER%"; directories in name order
//   (the order pacman lists them in).
// - apk (Alpine): /lib/apk/db/installed, one block per package, "P:" name,
//   "V:" version, "U:" URL, "m:" maintainer; file order.
// - Flatpak system installation: /var/lib/flatpak/app/<id>/current (a link
//   to <arch>/<branch>), its "active" deployment; version, developer and
//   homepage from the deployment's AppStream file
//   (files/share/metainfo/<id>.metainfo.xml, or appdata/<id>.appdata.xml);
//   the branch when it gives no version. Applications in id order.
// - snap: /snap/<name>/current (a link to the revision), its
//   meta/snap.yaml ("name:", "version:", "website:"); the publisher is not
//   stated there. Snaps in name order.
// - rpm (Fedora, RHEL, SUSE): the rpm database through librpm
//   (LinuxPackagesRpm.cpp), header order.
//
// Texts are UTF-8 as found; the registry source converts them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform::linux_backend {

struct InstalledPackage {
  std::string name;
  std::string version;
  std::string publisher;
  std::string url;
  std::string location;   // the install folder, empty for distribution packages
  std::string uninstall;  // the removal command
  friend bool operator==(const InstalledPackage&, const InstalledPackage&) = default;
};

// One pacman desc file; nullopt without a %NAME%.
std::optional<InstalledPackage> parsePacmanDesc(std::string_view text);
// /lib/apk/db/installed.
std::vector<InstalledPackage> parseApkInstalled(std::string_view text);
// A snap's meta/snap.yaml (top-level scalar keys only); nullopt without a
// name. `location` is the revision folder.
std::optional<InstalledPackage> parseSnapYaml(std::string_view text, const std::string& location);
// A Flatpak application `id` from its AppStream text (nullopt: none) and
// its branch; `location` is the deployment folder.
InstalledPackage flatpakApplication(const std::string& id, const std::string& branch,
                                    const std::optional<std::string>& appstream,
                                    const std::string& location);

// The first element `tag` of an XML text without an xml:lang attribute,
// its text with the five predefined entities decoded; nullopt when absent.
// `attribute` (e.g. type="homepage") must appear in its opening tag when
// given.
std::optional<std::string> xmlElementText(std::string_view xml, std::string_view tag,
                                          std::string_view attribute = {});
// The value of `attribute` on the first element `tag`; nullopt when absent.
std::optional<std::string> xmlAttribute(std::string_view xml, std::string_view tag,
                                        std::string_view attribute);

// The databases of the machine below `root` ("/" for this one).
std::vector<InstalledPackage> readPacmanPackages(const std::string& root);
std::vector<InstalledPackage> readApkPackages(const std::string& root);
std::vector<InstalledPackage> readFlatpakApplications(const std::string& root);
std::vector<InstalledPackage> readSnapPackages(const std::string& root);
// rpm: the database at `dbPath` (empty: the system's, below `root`).
std::vector<InstalledPackage> readRpmPackages(const std::string& root, const std::string& dbPath = {});

// [epoch:]version-release of rpm.
std::string rpmVersionText(std::optional<long long> epoch, std::string_view version,
                           std::string_view release);

}  // namespace quorvane::platform::linux_backend
