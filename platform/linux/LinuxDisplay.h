// Linux backend of Display, with its pure parsers.
//
// Sources: the DRM devices of /sys/class/drm (cards and their connectors:
// status, modes), the PCI display controllers of /sys/bus/pci/devices
// (class 03xxxx) named from the PCI id database (Debian's hwdata
// /usr/share/hwdata/pci.ids, or /usr/share/misc/pci.ids), and the console
// frame buffer /sys/class/graphics/fb0 (current size and depth).
// Adapters are the PCI display controllers in slot order; the desktop is the
// frame buffer's size and depth, or the first mode of the first connected
// connector; modes are the modes of the connected connectors at the desktop
// depth (32 bits, the XRGB8888 every KMS driver scans out, when no frame
// buffer tells). DRM does not publish the refresh rate in sysfs: 0.
// A machine without display hardware has none of these and reports zeros.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Display.h"

namespace quorvane::platform::linux_backend {

struct DrmConnector {
  std::string name;    // "card0-HDMI-A-1"
  bool connected = false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> modes;  // in file order
  friend bool operator==(const DrmConnector&, const DrmConnector&) = default;
};

struct PciDisplayController {
  std::string slot;  // "0000:00:02.0"
  std::uint16_t vendor = 0;
  std::uint16_t device = 0;
  friend bool operator==(const PciDisplayController&, const PciDisplayController&) = default;
};

// "1920x1080" (also "1920x1080i") -> width, height.
std::optional<std::pair<std::uint32_t, std::uint32_t>> parseModeLine(std::string_view line);
// Connectors of <root>/sys/class/drm, sorted by name.
std::vector<DrmConnector> readDrmConnectors(const std::string& root);
// Display controllers of <root>/sys/bus/pci/devices, sorted by slot.
std::vector<PciDisplayController> readPciDisplayControllers(const std::string& root);
// "Vendor Device" from a pci.ids text; the vendor alone with "Device xxxx"
// when the device is not listed; nullopt when the vendor is not listed.
std::optional<std::string> pciDeviceName(std::string_view pciIds, std::uint16_t vendor,
                                         std::uint16_t device);
// "1920,1080" of fb0/virtual_size.
std::optional<std::pair<std::uint32_t, std::uint32_t>> parseVirtualSize(std::string_view text);

struct DisplaySnapshot {
  DisplayCaps caps;
  std::vector<DisplayDevice> devices;
  std::vector<DisplayMode> modes;
};

// Reads everything below `root`; `pciIdsPath` empty means the usual places.
// Without `withNames` the device list is left empty (the id database is
// large; only the device list needs it).
DisplaySnapshot readDisplay(const std::string& root, const std::string& pciIdsPath = {},
                            bool withNames = true);

std::unique_ptr<Display> makeLinuxDisplay(std::string root = "/");

}  // namespace quorvane::platform::linux_backend
