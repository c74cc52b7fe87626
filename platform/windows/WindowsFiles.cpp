// Files of the system and their version resources on Windows:
// GetSystemDirectoryA, the last-write time in local time, and
// GetFileVersionInfoA / VerQueryValueA for the fixed block, the translation
// pairs and the string entries of every translation.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>
#include <winver.h>

#include <memory>
#include <vector>


namespace quorvane::platform::windows_backend {
namespace {

// The string entries a version resource usually carries; VerQueryValueA
// answers only the names it is asked for.
constexpr const char* kStringNames[] = {
    "Comments",        "CompanyName",     "FileDescription", "FileVersion",
    "InternalName",    "LegalCopyright",  "LegalTrademarks", "OriginalFilename",
    "PrivateBuild",    "ProductName",     "ProductVersion",  "SpecialBuild",
};

class WindowsFiles final : public VersionResources {
 public:
  std::string systemFilePath(std::string_view name) const override {
    char dir[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryA(dir, sizeof dir);
    std::string path = n > 0 && n < sizeof dir ? std::string(dir, n) : std::string();
    return path + "\\" + std::string(name);
  }

  bool fileExists(std::string_view path) const override {
    const DWORD attributes = GetFileAttributesA(std::string(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::optional<LocalDateTime> lastModified(std::string_view path) const override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(std::string(path).c_str(), GetFileExInfoStandard, &data))
      return std::nullopt;
    FILETIME local{};
    SYSTEMTIME t{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t))
      return std::nullopt;
    return LocalDateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  }

  std::optional<VersionResource> versionResource(std::string_view path) const override {
    const std::string file(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return std::nullopt;

    VersionResource r;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\", &value, &length) && value &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
      const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
      r.fileVersionMS = fixed->dwFileVersionMS;
      r.fileVersionLS = fixed->dwFileVersionLS;
      r.productVersionMS = fixed->dwProductVersionMS;
      r.productVersionLS = fixed->dwProductVersionLS;
      r.fileOS = fixed->dwFileOS;
    }
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) && value) {
      const auto* pairs = static_cast<const WORD*>(value);
      for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2)
        r.translations.emplace_back(pairs[i], pairs[i + 1]);
    }
    for (const auto& [language, codePage] : r.translations) {
      char name[16];
      wsprintfA(name, "%04X%04X", static_cast<unsigned>(language), static_cast<unsigned>(codePage));
      for (const char* entry : kStringNames) {
        const std::string query = std::string("\\StringFileInfo\\") + name + "\\" + entry;
        char* text = nullptr;
        if (VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) &&
            text) {
          r.strings.push_back({name, entry, fromBuffer(text, length)});
        }
      }
    }
    return r;
  }
};

}  // namespace

std::unique_ptr<VersionResources> makeWindowsFiles() { return std::make_unique<WindowsFiles>(); }

}  // namespace quorvane::platform::windows_backend
