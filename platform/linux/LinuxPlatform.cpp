// makeNativePlatform for Linux: one line per service, each defined in its
// own Linux<Service>.cpp.
#include "platform/Platform.h"
#include "platform/linux/LinuxDisplay.h"
#include "platform/linux/LinuxDrives.h"
#include "platform/linux/LinuxKeyboard.h"
#include "platform/linux/LinuxMemoryStatus.h"
#include "platform/linux/LinuxPrinters.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LinuxWaveDevices.h"

namespace quorvane::platform {

std::unique_ptr<SystemVersion> makeLinuxSystemVersion();
std::unique_ptr<SystemMetrics> makeLinuxSystemMetrics();
std::unique_ptr<SystemParameters> makeLinuxSystemParameters();
std::unique_ptr<TickCount> makeLinuxTickCount();
namespace linux_backend {
std::unique_ptr<LocalTime> makeLinuxLocalTime();
}
std::unique_ptr<Environment> makeLinuxEnvironment();
std::unique_ptr<IniFiles> makeLinuxIniFiles();
std::unique_ptr<RegistryStore> makeLinuxRegistry();
std::unique_ptr<VersionResources> makeLinuxFiles();
std::unique_ptr<Account> makeLinuxAccount();
std::unique_ptr<NetworkIdentity> makeLinuxNetwork();

std::unique_ptr<Platform> makeNativePlatform() {
  auto p = std::make_unique<Platform>();
  p->version = makeLinuxSystemVersion();
  p->metrics = makeLinuxSystemMetrics();
  p->parameters = makeLinuxSystemParameters();
  p->ticks = makeLinuxTickCount();
  p->localTime = linux_backend::makeLinuxLocalTime();
  p->environment = makeLinuxEnvironment();
  p->ini = makeLinuxIniFiles();
  p->registry = makeLinuxRegistry();
  p->files = makeLinuxFiles();
  p->account = makeLinuxAccount();
  p->network = makeLinuxNetwork();
  p->printers = linux_backend::makeLinuxPrinters();
  p->keyboard = linux_backend::makeLinuxKeyboardFacts();
  p->systemInfo = linux_backend::makeLinuxSystemInfo();
  p->memory = linux_backend::makeLinuxMemoryStatus();
  p->display = linux_backend::makeLinuxDisplay();
  p->wave = linux_backend::makeLinuxWaveDevices();
  p->drives = linux_backend::makeLinuxDrives();
  return p;
}

}  // namespace quorvane::platform
