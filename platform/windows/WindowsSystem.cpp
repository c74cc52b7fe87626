// The system facts of Windows: GetVersionExA (both forms), GetSystemMetrics,
// SystemParametersInfoA, GetTickCount64, GetEnvironmentVariableA and
// GetPrivateProfileStringA.
//
// The version numbers are what the system tells this program: its
// application manifest (platform/windows/QuorvanePro.manifest) declares the
// Windows versions it supports, without which every Windows since 8.1
// reports itself as 6.2.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>

#include <cstdint>
#include <memory>


namespace quorvane::platform::windows_backend {
namespace {

class WindowsSystemVersion final : public SystemVersion {
 public:
  Expected<OsVersionBasic> basic() const override {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return error();
    OsVersionBasic b;
    b.majorVersion = info.dwMajorVersion;
    b.minorVersion = info.dwMinorVersion;
    b.buildNumber = info.dwBuildNumber;
    b.platformId = info.dwPlatformId;
    b.csdVersion = fromBuffer(info.szCSDVersion, sizeof info.szCSDVersion);
    return b;
  }

  Expected<OsVersionExtended> extended() const override {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return error();
    OsVersionExtended e;
    e.servicePackMajor = info.wServicePackMajor;
    e.servicePackMinor = info.wServicePackMinor;
    e.suiteMask = info.wSuiteMask;
    e.productType = info.wProductType;
    return e;
  }

 private:
  static Status error() {
    const DWORD code = GetLastError();
    return Status::Error(static_cast<int>(code), win32ErrorText(code));
  }
};

class WindowsSystemMetrics final : public SystemMetrics {
 public:
  int get(int index) const override { return GetSystemMetrics(index); }
};

class WindowsSystemParameters final : public SystemParameters {
 public:
  std::optional<std::int64_t> get(unsigned action, unsigned param) const override {
    // Every action asked for writes one BOOL, UINT or DWORD; the buffer is
    // wider so that a system writing more never overruns it.
    std::uint64_t value[2] = {0, 0};
    if (!SystemParametersInfoA(action, param, value, 0)) return std::nullopt;
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(value[0] & 0xFFFFFFFFu));
  }
};

class WindowsTickCount final : public TickCount {
 public:
  // The 64-bit count: it does not wrap after 49.7 days as GetTickCount does.
  Expected<std::uint64_t> milliseconds() const override { return GetTickCount64(); }
};

class WindowsEnvironment final : public Environment {
 public:
  std::optional<std::string> get(std::string_view name) const override {
    const std::string key(name);
    SetLastError(0);
    DWORD needed = GetEnvironmentVariableA(key.c_str(), nullptr, 0);
    if (needed == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    // The size can change between the calls: ask until the value fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::string value(needed, '\0');
      DWORD got = GetEnvironmentVariableA(key.c_str(), value.data(), needed);
      if (got == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
      }
      if (got < needed) {
        value.resize(got);
        return value;
      }
      needed = got;
    }
    return std::nullopt;
  }
};

// GetPrivateProfileStringA cannot tell an absent entry from its default, so
// the default is a text no ini file holds.
constexpr const char kAbsent[] = "\x01\x02<absent>\x02\x01";

class WindowsIniFiles final : public IniFiles {
 public:
  std::optional<std::string> get(std::string_view file, std::string_view section,
                                 std::string_view key) const override {
    std::string path;
    if (equalsName(file, kSystemIni)) {
      path = "system.ini";  // a bare name is looked for in the Windows folder
    } else if (equalsName(file, kMsdosSys)) {
      // msdos.sys sits on the boot drive: the first two characters of WINBOOTDIR.
      char dir[145] = {};
      DWORD n = GetEnvironmentVariableA("WINBOOTDIR", dir, sizeof dir);
      std::string drive = n > 0 && n < sizeof dir ? std::string(dir, n).substr(0, 2) : std::string();
      path = drive + "\\msdos.sys";
    } else {
      return std::nullopt;
    }
    const std::string s(section), k(key);
    std::string buffer(4096, '\0');
    for (;;) {
      DWORD got = GetPrivateProfileStringA(s.c_str(), k.c_str(), kAbsent, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), path.c_str());
      if (got + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
        std::string value(buffer.data(), got);
        if (value == kAbsent) return std::nullopt;
        return value;
      }
      buffer.assign(buffer.size() * 4, '\0');
    }
  }

 private:
  static bool equalsName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
  }
};

}  // namespace

std::unique_ptr<SystemVersion> makeWindowsSystemVersion() {
  return std::make_unique<WindowsSystemVersion>();
}
std::unique_ptr<SystemMetrics> makeWindowsSystemMetrics() {
  return std::make_unique<WindowsSystemMetrics>();
}
std::unique_ptr<SystemParameters> makeWindowsSystemParameters() {
  return std::make_unique<WindowsSystemParameters>();
}
std::unique_ptr<TickCount> makeWindowsTickCount() { return std::make_unique<WindowsTickCount>(); }
std::unique_ptr<Environment> makeWindowsEnvironment() {
  return std::make_unique<WindowsEnvironment>();
}
std::unique_ptr<IniFiles> makeWindowsIniFiles() { return std::make_unique<WindowsIniFiles>(); }

}  // namespace quorvane::platform::windows_backend
