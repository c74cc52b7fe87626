// Network identity of a Linux host: gethostname, the IPv4 addresses of
// getifaddrs in the system's order, and the local end of a UDP socket
// connected (nothing is sent) toward a dotted IPv4 address.
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
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);  // any port: nothing is sent
    if (inet_pton(AF_INET, std::string(server).c_str(), &to.sin_addr) != 1) return std::nullopt;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> result;
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
      sockaddr_in local{};
      socklen_t len = sizeof local;
      char text[INET_ADDRSTRLEN] = {};
      if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0 &&
          local.sin_addr.s_addr != htonl(INADDR_ANY) &&
          inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        result = text;
    }
    close(fd);
    return result;
  }
};

}  // namespace

std::unique_ptr<NetworkIdentity> makeLinuxNetwork() { return std::make_unique<LinuxNetwork>(); }

}  // namespace quorvane::platform
