// LinuxSources: the Linux files the backend reads, each split into a raw
// read (readTextFile) and a pure parser that tests feed with sample files.
//
// Parsers take the file's text and return the fact, or nullopt / empty when
// the text does not hold it. They never touch the file system. Texts are
// returned as found (UTF-8); the services convert them to 8-bit text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform::linux_backend {

// The whole file, or nullopt when it cannot be read or holds more than
// kMaxSourceFileBytes. Files of /proc report a size of 0 and are read until
// their end.
inline constexpr std::uint64_t kMaxSourceFileBytes = 256ull << 20;
std::optional<std::string> readTextFile(const std::string& path);

// /etc/os-release: PRETTY_NAME, unquoted and unescaped.
std::optional<std::string> parseOsReleasePrettyName(std::string_view text);

// uname release "6.1.0-18-amd64" -> 6, 1, 0. A missing part reads 0.
struct KernelRelease {
  std::uint32_t major = 0, minor = 0, patch = 0;
  friend bool operator==(const KernelRelease&, const KernelRelease&) = default;
};
std::optional<KernelRelease> parseKernelRelease(std::string_view release);
// "6.1 Build 0": major "." minor " Build " patch.
std::string kernelVersionText(const KernelRelease& k);

// /proc/uptime: the first number, seconds with a fraction -> milliseconds.
std::optional<std::uint64_t> parseUptimeMilliseconds(std::string_view text);

// /etc/machine-id: the 32 hexadecimal digits, or nullopt.
std::optional<std::string> parseMachineId(std::string_view text);

// /proc/swaps: the file name of the first swap area (octal escapes such as
// \040 decoded), or nullopt when there is none.
std::optional<std::string> parseFirstSwapArea(std::string_view text);

// /var/lib/dpkg/status: the packages whose files are on the system (status
// installed, half-configured, unpacked, half-installed, triggers-awaited,
// triggers-pending), in database order. Packages only remembered for their
// configuration files, or not installed, are left out.
struct DpkgPackage {
  std::string name;
  std::string architecture;
  std::string version;
  std::string maintainer;
  std::string homepage;
  std::string status;  // the third word of Status:
  friend bool operator==(const DpkgPackage&, const DpkgPackage&) = default;
};
std::vector<DpkgPackage> parseDpkgStatus(std::string_view text);

// /etc/passwd: name and login shell of the entry with `uid`.
struct PasswdEntry {
  std::string name;
  std::string shell;
};
std::optional<PasswdEntry> parsePasswdByUid(std::string_view text, std::uint32_t uid);

// Members of `groupName` in /etc/group text (the fourth field), and whether
// `userName` is among them.
bool groupListsMember(std::string_view groupText, std::string_view groupName,
                      std::string_view userName);

// The machine is administered by this user: root, or a member of one of the
// administrators' groups (sudo, wheel, admin).
bool isAdministratorAccount(std::uint32_t uid, const std::vector<std::string>& groupNames);

// smb.conf: "workgroup" of the [global] section.
std::optional<std::string> parseSambaWorkgroup(std::string_view text);

// The DNS domain of `hostName`: the part after the first "." of the
// canonical name that /etc/hosts gives it, else the "domain" (or first
// "search") entry of /etc/resolv.conf.
std::optional<std::string> parseHostsDomain(std::string_view hostsText, std::string_view hostName);
std::optional<std::string> parseResolvDomain(std::string_view resolvText);

// /proc/cmdline: 1 when the system was started in rescue or emergency mode
// (single-user), else 0.
int parseBootMode(std::string_view cmdline);

// Names of running programs (the comm of each process) -> a screen reader runs.
bool screenReaderRunning(const std::vector<std::string>& processNames);

}  // namespace quorvane::platform::linux_backend
