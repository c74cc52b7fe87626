// makeNativePlatform for Windows: one line per service, each defined in its
// own Windows<Service>.cpp; and the text helpers the services share.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>


namespace quorvane::platform {

namespace windows_backend {

std::string fromBuffer(const char* buffer, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && buffer[n] != '\0') ++n;
  return std::string(buffer, n);
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, "?", nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, "?",
                      nullptr);
  return out;
}

std::string win32ErrorText(unsigned long code) {
  char buffer[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "Windows error " + std::to_string(code);
  return text;
}

}  // namespace windows_backend

std::unique_ptr<Platform> makeNativePlatform() {
  using namespace windows_backend;
  auto p = std::make_unique<Platform>();
  p->version = makeWindowsSystemVersion();
  p->metrics = makeWindowsSystemMetrics();
  p->parameters = makeWindowsSystemParameters();
  p->ticks = makeWindowsTickCount();
  p->localTime = makeWindowsLocalTime();
  p->environment = makeWindowsEnvironment();
  p->ini = makeWindowsIniFiles();
  p->registry = makeWindowsRegistry();
  p->files = makeWindowsFiles();
  p->account = makeWindowsAccount();
  p->network = makeWindowsNetwork();
  p->printers = makeWindowsPrinters();
  p->keyboard = makeWindowsKeyboardFacts();
  p->systemInfo = makeWindowsSystemInfo();
  p->memory = makeWindowsMemoryStatus();
  p->display = makeWindowsDisplay();
  p->wave = makeWindowsWaveDevices();
  p->drives = makeWindowsDrives();
  return p;
}

}  // namespace quorvane::platform
