// The program folder on Windows: the folder of the executable's own path
// (GetModuleFileNameW, so that any folder name works).
#include <windows.h>

#include <string>

#include "platform/ProgramFolder.h"

namespace quorvane::platform {

std::filesystem::path executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return std::filesystem::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
  return {};
}

}  // namespace quorvane::platform
