// SystemVersion: the operating-system version structure (GetVersionExA in its
// basic and extended forms).
//
// Collectors derive the operating-system name and version text from these raw
// numbers exactly as on Windows. A host whose facts the Windows numbers cannot
// express (a Linux distribution name, a kernel release) fills the raw numbers
// as far as they fit and also gives the final texts in `productName` and
// `versionText`; a collector uses an override when it is present and the
// Windows derivation otherwise, so there is one code path for every backend.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Status.h"

namespace quorvane::platform {

inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows = 1;  // Windows 95, 98, ME
inline constexpr std::uint32_t kPlatformNT = 2;       // NT, 2000, XP, ...

// OSVERSIONINFOA
struct OsVersionBasic {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;  // on Windows 9x the high word holds major.minor
  std::uint32_t platformId = 0;
  std::string csdVersion;         // service-pack text, 8-bit, at most 127 bytes
};

// The members OSVERSIONINFOEXA adds.
struct OsVersionExtended {
  std::uint16_t servicePackMajor = 0;
  std::uint16_t servicePackMinor = 0;
  std::uint16_t suiteMask = 0;
  std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
};

class SystemVersion {
 public:
  virtual ~SystemVersion() = default;

  virtual Expected<OsVersionBasic> basic() const = 0;
  // Fails where the system knows only the basic structure (Windows 95, 98).
  virtual Expected<OsVersionExtended> extended() const = 0;

  // Final texts where the Windows derivation cannot express the host's facts.
  virtual std::optional<std::string> productName() const { return std::nullopt; }
  virtual std::optional<std::string> versionText() const { return std::nullopt; }
};

}  // namespace quorvane::platform
