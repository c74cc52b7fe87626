// The Windows backend of the platform services: one factory per service,
// each defined in its own Windows<Service>.cpp, and the small text helpers
// they share. Only platform/windows/ includes this header.
//
// Every service calls the ANSI ("A") form of the Win32 call the collectors
// were written against and hands back the system's 8-bit text of the active
// code page unchanged. Where a call only has a wide form, the text is
// narrowed to that code page (a character without a form there becomes "?").
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace quorvane::platform::windows_backend {

std::unique_ptr<SystemVersion> makeWindowsSystemVersion();
std::unique_ptr<SystemMetrics> makeWindowsSystemMetrics();
std::unique_ptr<SystemParameters> makeWindowsSystemParameters();
std::unique_ptr<TickCount> makeWindowsTickCount();
std::unique_ptr<LocalTime> makeWindowsLocalTime();
std::unique_ptr<Environment> makeWindowsEnvironment();
std::unique_ptr<IniFiles> makeWindowsIniFiles();
std::unique_ptr<RegistryStore> makeWindowsRegistry();
std::unique_ptr<VersionResources> makeWindowsFiles();
std::unique_ptr<Account> makeWindowsAccount();
std::unique_ptr<NetworkIdentity> makeWindowsNetwork();
std::unique_ptr<Printers> makeWindowsPrinters();
std::unique_ptr<KeyboardFacts> makeWindowsKeyboardFacts();
std::unique_ptr<SystemInfo> makeWindowsSystemInfo();
std::unique_ptr<MemoryStatus> makeWindowsMemoryStatus();
std::unique_ptr<Display> makeWindowsDisplay();
std::unique_ptr<WaveDevices> makeWindowsWaveDevices();
std::unique_ptr<Drives> makeWindowsDrives();

// Text of a NUL-terminated buffer of at most `capacity` bytes (the part
// before the first NUL, or all of it when there is none).
std::string fromBuffer(const char* buffer, std::size_t capacity);
// 16-bit text narrowed to the active code page.
std::string narrow(std::wstring_view text);
// The system's description of a Win32 error code, without the line break.
std::string win32ErrorText(unsigned long code);

}  // namespace quorvane::platform::windows_backend
