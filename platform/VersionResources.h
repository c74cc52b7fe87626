// VersionResources: files of the system and their version resources
// (GetSystemDirectoryA, the file's last-modified time, GetFileVersionInfoA and
// VerQueryValueA).
//
// Paths are the system's own (on Windows "C:\WINDOWS\SYSTEM\KEYBOARD.DRV");
// the fixture backend compares them without regard to case. A resource holds
// the fixed block, the translation pairs of "\VarFileInfo\Translation" in
// stored order, and the string tables by block name ("040904E4").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::platform {

// A local date and time, as the file system reports a modification.
struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

inline constexpr std::uint32_t VOS_DOS_WINDOWS16 = 0x00010001;  // low word 1 is "Windows 9x"
inline constexpr std::uint32_t VOS_NT_WINDOWS32 = 0x00040004;

struct VersionStringEntry {
  std::string block;  // eight hexadecimal digits, e.g. "040904E4"
  std::string name;   // "CompanyName", "FileVersion", ...
  std::string value;  // 8-bit text
};

struct VersionResource {
  // VS_FIXEDFILEINFO
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;
  std::uint32_t fileOS = 0;
  // "\VarFileInfo\Translation": (language, code page) pairs
  std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;
  std::vector<VersionStringEntry> strings;

  // VerQueryValueA of "\StringFileInfo\<block>\<name>" (block compared
  // without regard to case); nullopt when the entry is missing.
  std::optional<std::string> findString(std::string_view block, std::string_view name) const;
};

class VersionResources {
 public:
  virtual ~VersionResources() = default;

  // The system directory, the system's path separator, then `name`
  // (Windows: "C:\WINDOWS\SYSTEM" "\" name).
  virtual std::string systemFilePath(std::string_view name) const = 0;
  virtual bool fileExists(std::string_view path) const = 0;
  virtual std::optional<LocalDateTime> lastModified(std::string_view path) const = 0;
  // nullopt when the file does not exist or has no version resource.
  virtual std::optional<VersionResource> versionResource(std::string_view path) const = 0;
};

}  // namespace quorvane::platform
