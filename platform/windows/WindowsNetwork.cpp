// The network identity of Windows: gethostname, the IPv4 addresses of the
// adapters (GetAdaptersAddresses) in the system's order, and the local
// address toward a dotted IPv4 address (platform/LocalAddress.h).
// Each call holds Winsock open for itself (WSAStartup counts its users).
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"
#include "platform/LocalAddress.h"
#include "platform/PlatformErrors.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <memory>
#include <vector>


namespace quorvane::platform::windows_backend {
namespace {

class WinsockUse {
 public:
  WinsockUse() {
    WSADATA data{};
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockUse() {
    if (ok_) WSACleanup();
  }
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  explicit operator bool() const { return ok_; }

 private:
  bool ok_ = false;
};

std::string dotted(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &address, text, sizeof text)) return {};
  return text;
}

class WindowsNetwork final : public NetworkIdentity {
 public:
  Expected<std::string> hostName() const override {
    WinsockUse winsock;
    if (!winsock) return Status::Error(kErrWinsockNotStarted, "Windows Sockets cannot be started");
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
      const int code = WSAGetLastError();
      return Status::Error(code, win32ErrorText(static_cast<unsigned long>(code)));
    }
    return std::string(name);
  }

  std::vector<InterfaceAddress> addresses() const override {
    std::vector<InterfaceAddress> out;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
      buffer.assign(size, 0);
      rc = GetAdaptersAddresses(AF_INET,
                                GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                                    GAA_FLAG_SKIP_DNS_SERVER,
                                nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                &size);
    }
    if (rc != NO_ERROR) return out;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
      const std::string name = a->FriendlyName ? narrow(a->FriendlyName) : std::string(a->AdapterName);
      for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
        if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr);
        std::string text = dotted(in->sin_addr);
        if (text.empty()) continue;
        out.push_back({name, text, a->OperStatus == IfOperStatusUp,
                       a->IfType == IF_TYPE_SOFTWARE_LOOPBACK});
      }
    }
    return out;
  }

  std::optional<std::string> localAddressToward(std::string_view server) const override {
    return localIPv4Toward(server);
  }
};

}  // namespace

std::unique_ptr<NetworkIdentity> makeWindowsNetwork() { return std::make_unique<WindowsNetwork>(); }

}  // namespace quorvane::platform::windows_backend
