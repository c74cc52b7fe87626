// The rpm database through librpm, which reads each of its formats (sqlite,
// ndb, Berkeley DB). The system's database is the first of
// /usr/lib/sysimage/rpm and /var/lib/rpm below the root that holds one (the
// library's own default path is a per-user one on some systems); with none,
// librpm is not asked at all, so a machine without rpm sees no messages.
#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmlog.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmts.h>

#include <filesystem>
#include <mutex>

#include "platform/linux/LinuxHardwareFiles.h"
#include "platform/linux/LinuxPackages.h"

namespace quorvane::platform::linux_backend {
namespace {

bool holdsRpmDatabase(const std::string& dir) {
  std::error_code ec;
  for (const char* file : {"rpmdb.sqlite", "Packages.db", "Packages"})
    if (std::filesystem::is_regular_file(std::filesystem::path(dir) / file, ec)) return true;
  return false;
}

std::string text(Header h, rpmTagVal tag) {
  const char* s = headerGetString(h, tag);
  return s ? s : "";
}

InstalledPackage packageOf(Header h) {
  InstalledPackage p;
  p.name = text(h, RPMTAG_NAME);
  std::optional<long long> epoch;
  if (headerIsEntry(h, RPMTAG_EPOCH)) epoch = static_cast<long long>(headerGetNumber(h, RPMTAG_EPOCH));
  p.version = rpmVersionText(epoch, text(h, RPMTAG_VERSION), text(h, RPMTAG_RELEASE));
  p.publisher = text(h, RPMTAG_VENDOR);
  if (p.publisher.empty()) p.publisher = text(h, RPMTAG_PACKAGER);
  p.url = text(h, RPMTAG_URL);
  p.uninstall = "rpm -e " + p.name;
  return p;
}

// librpm keeps its configuration and macros per process.
std::mutex& rpmLock() {
  static std::mutex m;
  return m;
}

}  // namespace

std::vector<InstalledPackage> readRpmPackages(const std::string& root, const std::string& dbPath) {
  std::string path = dbPath;
  if (path.empty()) {
    for (const char* candidate : {"usr/lib/sysimage/rpm", "var/lib/rpm"}) {
      if (holdsRpmDatabase(joinPath(root, candidate))) {
        path = joinPath(root, candidate);
        break;
      }
    }
  }
  std::vector<InstalledPackage> out;
  if (path.empty() || !holdsRpmDatabase(path)) return out;
  std::lock_guard lock(rpmLock());
  static const bool configured = [] {
    rpmlogSetMask(RPMLOG_UPTO(RPMLOG_CRIT));
    return rpmReadConfigFiles(nullptr, nullptr) == 0;
  }();
  if (!configured) return out;
  rpmPushMacro(nullptr, "_dbpath", nullptr, path.c_str(), RMIL_CMDLINE);
  rpmts ts = rpmtsCreate();
  rpmtsSetRootDir(ts, "/");
  rpmtsSetVSFlags(ts, RPMVSF_MASK_NOSIGNATURES | RPMVSF_MASK_NODIGESTS);
  rpmdbMatchIterator it = rpmtsInitIterator(ts, RPMDBI_PACKAGES, nullptr, 0);
  while (Header h = rpmdbNextIterator(it)) out.push_back(packageOf(h));
  rpmdbFreeIterator(it);
  rpmtsFree(ts);
  rpmPopMacro(nullptr, "_dbpath");
  return out;
}

}  // namespace quorvane::platform::linux_backend
