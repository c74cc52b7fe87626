// Network identity of a Linux host: gethostname, the IPv4 addresses of
// getifaddrs in the system's order, and the local address toward a dotted
// IPv4 address (platform/LocalAddress.h).
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "common/Text8.h"
#include "platform/LocalAddress.h"
#include "platform/NetworkIdentity.h"

namespace quorvane::platform {
namespace {

class LinuxNetwork final : public NetworkIdentity {
 public:
  Expected<std::string> hostName() const override {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
      return Status::Error(errno, std::strerror(errno));
    return utf8ToWindows1252(name);
  }

  std::vector<InterfaceAddress> addresses() const override {
    std::vector<InterfaceAddress> out;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (auto* a = list; a; a = a->ifa_next) {
      if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
      char text[INET_ADDRSTRLEN] = {};
      auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
      if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
      out.push_back({a->ifa_name ? a->ifa_name : "", text, (a->ifa_flags & IFF_UP) != 0,
                     (a->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return out;
  }

  std::optional<std::string> localAddressToward(std::string_view server) const override {
    return localIPv4Toward(server);
  }
};

}  // namespace

std::unique_ptr<NetworkIdentity> makeLinuxNetwork() { return std::make_unique<LinuxNetwork>(); }

}  // namespace quorvane::platform
