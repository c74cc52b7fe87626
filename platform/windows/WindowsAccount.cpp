// The account of Windows: GetUserNameA, NetWkstaUserGetInfo level 1 (the
// logon domain), the group identifiers of the process token
// (OpenProcessToken, GetTokenInformation TokenGroups) and LookupAccountSidA.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include <memory>
#include <vector>


namespace quorvane::platform::windows_backend {
namespace {

class WindowsAccount final : public Account {
 public:
  std::optional<std::string> userName() const override {
    char name[UNLEN + 2] = {};
    DWORD size = sizeof name;
    if (!GetUserNameA(name, &size)) return std::nullopt;
    return fromBuffer(name, sizeof name);
  }

  std::optional<std::u16string> logonDomain() const override {
    LPBYTE buffer = nullptr;
    if (NetWkstaUserGetInfo(nullptr, 1, &buffer) != NERR_Success || buffer == nullptr) {
      if (buffer) NetApiBufferFree(buffer);
      return std::nullopt;
    }
    const auto* info = reinterpret_cast<const WKSTA_USER_INFO_1*>(buffer);
    std::u16string domain;
    if (info->wkui1_logon_domain) {
      for (const wchar_t* c = info->wkui1_logon_domain; *c; ++c)
        domain.push_back(static_cast<char16_t>(*c));
    }
    NetApiBufferFree(buffer);
    return domain;
  }

  Expected<std::vector<std::string>> tokenGroups() const override {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return lastError();
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
      Status failed = lastError();
      CloseHandle(token);
      return failed;
    }
    CloseHandle(token);
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    std::vector<std::string> sids;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      char* text = nullptr;
      if (ConvertSidToStringSidA(groups->Groups[i].Sid, &text) && text) {
        sids.emplace_back(text);
        LocalFree(text);
      }
    }
    return sids;
  }

  std::optional<std::string> lookupAccountName(std::string_view sid) const override {
    PSID binary = nullptr;
    if (!ConvertStringSidToSidA(std::string(sid).c_str(), &binary)) return std::nullopt;
    char name[256] = {};
    char domain[256] = {};
    DWORD nameSize = sizeof name, domainSize = sizeof domain;
    SID_NAME_USE use{};
    const bool ok = LookupAccountSidA(nullptr, binary, name, &nameSize, domain, &domainSize, &use);
    LocalFree(binary);
    if (!ok) return std::nullopt;
    return fromBuffer(name, sizeof name);
  }

 private:
  static Status lastError() {
    const DWORD code = GetLastError();
    return Status::Error(static_cast<int>(code), win32ErrorText(code));
  }
};

}  // namespace

std::unique_ptr<Account> makeWindowsAccount() { return std::make_unique<WindowsAccount>(); }

}  // namespace quorvane::platform::windows_backend
