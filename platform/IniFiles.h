// IniFiles: GetPrivateProfileStringA on the system's own ini files.
//
// Files are named by their logical names ("system.ini" in the Windows
// folder, "msdos.sys" on the boot drive); the backend knows where they live.
// Section and key names are compared without regard to case. Returns the
// entry's text, or nullopt when the file, section or key does not exist.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

inline constexpr std::string_view kSystemIni = "system.ini";
inline constexpr std::string_view kMsdosSys = "msdos.sys";

class IniFiles {
 public:
  virtual ~IniFiles() = default;
  virtual std::optional<std::string> get(std::string_view file, std::string_view section,
                                         std::string_view key) const = 0;
};

}  // namespace quorvane::platform
