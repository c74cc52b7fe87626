// Power actions on Windows: the shutdown privilege is enabled in the
// process token (OpenProcessToken, LookupPrivilegeValueA,
// AdjustTokenPrivileges), then ExitWindowsEx asks for the action without
// forcing programs to close. Only ever reached with the system backend:
// tests, benchmarks and demos run the agent with the dry-run backend.
#include <windows.h>

#include "platform/Power.h"

namespace quorvane::platform {
namespace {

Status lastError(const char* what) {
  return Status::Error(static_cast<long>(GetLastError()),
                       std::string(what) + " failed (Windows error " +
                           std::to_string(GetLastError()) + ")");
}

// Enables SeShutdownPrivilege; log-off needs no privilege.
Status enableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return lastError("OpenProcessToken");
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
    Status s = lastError("LookupPrivilegeValueA");
    CloseHandle(token);
    return s;
  }
  AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  // AdjustTokenPrivileges succeeds even when it assigned nothing.
  const DWORD code = GetLastError();
  CloseHandle(token);
  if (code != ERROR_SUCCESS) {
    return Status::Error(static_cast<long>(code),
                         "AdjustTokenPrivileges failed (Windows error " + std::to_string(code) + ")");
  }
  return Status::Ok();
}

class SystemPowerControl final : public PowerControl {
 public:
  Status perform(PowerAction action) override {
    UINT flags = 0;
    switch (action) {
      case PowerAction::PowerOff: flags = EWX_POWEROFF; break;
      case PowerAction::Reboot: flags = EWX_REBOOT; break;
      case PowerAction::LogOff: flags = EWX_LOGOFF; break;
    }
    if (action != PowerAction::LogOff) {
      Status s = enableShutdownPrivilege();
      if (!s.ok()) return s;
    }
    if (!ExitWindowsEx(flags, SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_FLAG_PLANNED))
      return lastError("ExitWindowsEx");
    return Status::Ok();
  }
};

}  // namespace

std::unique_ptr<PowerControl> makeSystemPowerControl() {
  return std::make_unique<SystemPowerControl>();
}

}  // namespace quorvane::platform
