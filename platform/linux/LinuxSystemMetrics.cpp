// System metrics of a Linux host: security is present (the system enforces
// accounts), the network bit is set when a non-loopback interface is up, the
// boot mode comes from the kernel command line; every other index reads 0.
#include <ifaddrs.h>
#include <net/if.h>

#include <memory>

#include "platform/SystemMetrics.h"
#include "platform/linux/LinuxSources.h"

namespace quorvane::platform {
namespace {

bool nonLoopbackInterfaceUp() {
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool up = false;
  for (auto* a = list; a; a = a->ifa_next)
    if ((a->ifa_flags & IFF_UP) && !(a->ifa_flags & IFF_LOOPBACK)) up = true;
  freeifaddrs(list);
  return up;
}

class LinuxSystemMetrics final : public SystemMetrics {
 public:
  int get(int index) const override {
    switch (index) {
      case SM_SECURE: return 1;
      case SM_NETWORK: return nonLoopbackInterfaceUp() ? 1 : 0;
      case SM_CLEANBOOT: {
        auto cmdline = linux_backend::readTextFile("/proc/cmdline");
        return cmdline ? linux_backend::parseBootMode(*cmdline) : 0;
      }
      default: return 0;
    }
  }
};

}  // namespace

std::unique_ptr<SystemMetrics> makeLinuxSystemMetrics() {
  return std::make_unique<LinuxSystemMetrics>();
}

}  // namespace quorvane::platform
