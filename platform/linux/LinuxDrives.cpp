#include "platform/linux/LinuxDrives.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/Text8.h"
#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

std::string decodeOctal(std::string_view s) {
  auto octal = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '7'; };
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += s[i];
  }
  return out;
}

bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

bool underDir(std::string_view path, std::string_view dir) {
  return path == dir || (startsWith(path, dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

constexpr std::array<std::string_view, 24> kPseudoTypes = {
    "proc",     "sysfs",     "devtmpfs",    "devpts",   "securityfs", "cgroup",
    "cgroup2",  "pstore",    "efivarfs",    "bpf",      "debugfs",    "tracefs",
    "configfs", "fusectl",   "mqueue",      "hugetlbfs", "autofs",    "binfmt_misc",
    "rpc_pipefs", "nsfs",    "selinuxfs",   "rootfs",   "nfsd",       "ramfs"};

constexpr std::array<std::string_view, 14> kNetworkTypes = {
    "nfs",  "nfs4",     "cifs",       "smb3",       "smbfs",     "ncpfs",      "afs",
    "ceph", "glusterfs", "9p",        "fuse.sshfs", "fuse.rclone", "davfs",    "lustre"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& set, std::string_view v) {
  for (auto s : set) {
    if (s == v) return true;
  }
  return false;
}

}  // namespace

std::vector<MountEntry> parseMountsAll(std::string_view text) {
  std::vector<MountEntry> out;
  for (std::string_view line : splitPieces(text, '\n')) {
    std::array<std::string_view, 4> f;
    std::size_t n = 0, p = 0;
    while (n < 4) {
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      if (p >= line.size()) break;
      auto q = line.find_first_of(" \t", p);
      if (q == std::string_view::npos) q = line.size();
      f[n++] = line.substr(p, q - p);
      p = q;
    }
    if (n < 3) continue;
    out.push_back({decodeOctal(f[0]), decodeOctal(f[1]), std::string(f[2]),
                   n > 3 ? std::string(f[3]) : std::string()});
  }
  return out;
}

bool isPseudoFileSystem(const MountEntry& e) {
  if (contains(kPseudoTypes, e.fsType)) return true;
  if (e.fsType == "tmpfs") {
    return underDir(e.mountPoint, "/dev") || underDir(e.mountPoint, "/proc") ||
           underDir(e.mountPoint, "/sys") || underDir(e.mountPoint, "/run");
  }
  if (startsWith(e.fsType, "fuse.")) {
    static constexpr std::array<std::string_view, 5> kFusePseudo = {
        "fuse.lxcfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.xdg-document-portal",
        "fuse.snapfuse"};
    return contains(kFusePseudo, e.fsType);
  }
  return false;
}

std::vector<MountEntry> parseMounts(std::string_view text) {
  std::vector<MountEntry> out;
  for (auto& e : parseMountsAll(text)) {
    if (isPseudoFileSystem(e)) continue;
    bool replaced = false;
    for (auto& o : out) {
      if (o.mountPoint == e.mountPoint) {
        o = e;
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(std::move(e));
  }
  return out;
}

std::uint32_t driveTypeOf(const MountEntry& e, bool removable) {
  const std::string& t = e.fsType;
  if (contains(kNetworkTypes, t) || startsWith(t, "nfs") || startsWith(t, "fuse.sshfs")) {
    return DRIVE_REMOTE;
  }
  if (t == "iso9660" || t == "udf" || startsWith(e.device, "/dev/sr") ||
      startsWith(e.device, "/dev/scd") || e.device == "/dev/cdrom") {
    return DRIVE_CDROM;
  }
  if (t == "tmpfs" || t == "ramfs" || startsWith(e.device, "/dev/ram") ||
      startsWith(e.device, "/dev/zram")) {
    return DRIVE_RAMDISK;
  }
  if (removable) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

std::optional<std::uint32_t> serialFromUuid(std::string_view uuid) {
  std::string hex;
  for (char c : uuid) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
    else if (c != '-') return std::nullopt;
  }
  if (hex.size() < 8) return std::nullopt;
  std::string_view digits = hex;
  if (hex.size() == 16) digits = digits.substr(8);  // NTFS: the low half is the serial
  else digits = digits.substr(0, 8);
  return static_cast<std::uint32_t>(*parseNumber("0x" + std::string(digits)));
}

std::string decodeUdevName(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(*parseNumber("0x" + std::string(s.substr(i + 2, 2))));
      i += 3;
      continue;
    }
    out += s[i];
  }
  return out;
}

DiskSpace spaceFromStatvfs(std::uint64_t blocks, std::uint64_t freeBlocks,
                           std::uint64_t availBlocks, std::uint64_t fragmentSize,
                           bool callerIsRoot) {
  const std::uint64_t usable = callerIsRoot ? freeBlocks : availBlocks;
  return {blocks * fragmentSize, freeBlocks * fragmentSize, usable * fragmentSize};
}

std::string baseBlockDevice(std::string_view name) {
  if (startsWith(name, "/dev/")) name.remove_prefix(5);
  std::string n(name);
  auto stripDigits = [&] {
    while (!n.empty() && std::isdigit(static_cast<unsigned char>(n.back()))) n.pop_back();
  };
  if (startsWith(n, "nvme") || startsWith(n, "mmcblk") || startsWith(n, "loop")) {
    auto p = n.rfind('p');
    if (p != std::string::npos && p + 1 < n.size() && p > 0 &&
        std::isdigit(static_cast<unsigned char>(n[p - 1]))) {
      bool digits = true;
      for (std::size_t i = p + 1; i < n.size(); ++i) digits &= std::isdigit(static_cast<unsigned char>(n[i])) != 0;
      if (digits) n.resize(p);
    }
    return n;
  }
  stripDigits();
  return n;
}

DriveFacts driveFactsFor(const MountEntry& e, bool removable,
                         const std::map<std::string, std::string>& labels,
                         const std::map<std::string, std::string>& uuids,
                         std::optional<DiskSpace> space) {
  DriveFacts d;
  d.root = utf8ToWindows1252(e.mountPoint);
  d.driveType = driveTypeOf(e, removable);
  if (auto it = labels.find(e.device); it != labels.end()) {
    d.volumeLabel = utf8ToWindows1252(it->second);
  } else if (space) {
    d.volumeLabel = std::string();  // readable, no label
  }
  if (auto it = uuids.find(e.device); it != uuids.end()) d.serialNumber = serialFromUuid(it->second);
  d.hasWideSpaceQuery = true;
  d.space = space;
  return d;
}

namespace {

std::map<std::string, std::string> readByLinks(const std::string& dir, bool decode) {
  std::map<std::string, std::string> out;
  namespace fs = std::filesystem;
  for (const auto& name : listDirectory(dir)) {
    std::error_code ec;
    fs::path target = fs::canonical(fs::path(dir) / name, ec);
    if (ec) continue;
    out.emplace(target.string(), decode ? decodeUdevName(name) : name);
  }
  return out;
}

// statvfs of a network file system whose server does not answer can hang
// for minutes; such a drive is given at most `limit` and then reported as
// unreadable (the helper thread finishes on its own when the call returns).
std::optional<DiskSpace> spaceOf(const std::string& mountPoint, bool mayHang,
                                 std::chrono::milliseconds limit) {
  auto query = [](const std::string& path) -> std::optional<DiskSpace> {
    struct statvfs sv {};
    if (::statvfs(path.c_str(), &sv) != 0) return std::nullopt;
    return spaceFromStatvfs(sv.f_blocks, sv.f_bfree, sv.f_bavail, sv.f_frsize, ::geteuid() == 0);
  };
  if (!mayHang) return query(mountPoint);
  struct Shared {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::optional<DiskSpace> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, mountPoint, query] {
    auto r = query(mountPoint);
    std::lock_guard lock(shared->m);
    shared->result = r;
    shared->done = true;
    shared->cv.notify_all();
  }).detach();
  std::unique_lock lock(shared->m);
  if (!shared->cv.wait_for(lock, limit, [&] { return shared->done; })) return std::nullopt;
  return shared->result;
}

class LinuxDrives final : public RootedBackend<Drives> {
 public:
  using RootedBackend::RootedBackend;

  std::vector<DriveFacts> list() const override {
    std::vector<DriveFacts> out;
    auto text = readWholeFile(path("proc/self/mounts"));
    if (!text) return out;
    auto labels = readByLinks(path("dev/disk/by-label"), true);
    auto uuids = readByLinks(path("dev/disk/by-uuid"), false);
    for (const auto& e : parseMounts(*text)) {
      MountEntry entry = e;
      std::error_code ec;
      if (startsWith(entry.device, "/dev/")) {
        auto real = std::filesystem::canonical(entry.device, ec);
        if (!ec) entry.device = real.string();
      }
      bool removable = false;
      if (startsWith(entry.device, "/dev/")) {
        std::string flag = readFirstLine(
            path("sys/block/" + baseBlockDevice(entry.device) + "/removable"));
        removable = flag == "1";
      }
      bool network = driveTypeOf(entry, removable) == DRIVE_REMOTE;
      auto space = spaceOf(entry.mountPoint, network, std::chrono::milliseconds(2000));
      out.push_back(driveFactsFor(entry, removable, labels, uuids, space));
    }
    return out;
  }
};

}  // namespace

std::unique_ptr<Drives> makeLinuxDrives(std::string root) {
  return std::make_unique<LinuxDrives>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
