#include "platform/linux/LinuxDisplay.h"

#include <cctype>
#include <cstdio>

#include "common/Text8.h"
#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

bool isHex4(std::string_view s) {
  if (s.size() < 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

std::uint16_t hex4(std::string_view s) {
  return static_cast<std::uint16_t>(*parseNumber("0x" + std::string(s.substr(0, 4))));
}

}  // namespace

std::optional<std::pair<std::uint32_t, std::uint32_t>> parseModeLine(std::string_view line) {
  line = trimBlanks(line);
  auto x = line.find('x');
  if (x == std::string_view::npos || x == 0) return std::nullopt;
  std::string_view h = line.substr(x + 1);
  std::size_t n = 0;
  while (n < h.size() && std::isdigit(static_cast<unsigned char>(h[n]))) ++n;
  if (n == 0) return std::nullopt;
  auto w = parseNumber(line.substr(0, x));
  auto hv = parseNumber(h.substr(0, n));
  if (!w || !hv || *w == 0 || *hv == 0 || *w > 65535 || *hv > 65535) return std::nullopt;
  return std::make_pair(static_cast<std::uint32_t>(*w), static_cast<std::uint32_t>(*hv));
}

std::vector<DrmConnector> readDrmConnectors(const std::string& root) {
  std::vector<DrmConnector> out;
  std::string base = joinPath(root, "sys/class/drm");
  for (const auto& name : listDirectory(base)) {
    // Connectors are "cardN-<type>-<n>"; cards and render nodes have no dash.
    if (name.rfind("card", 0) != 0 || name.find('-') == std::string::npos) continue;
    DrmConnector c;
    c.name = name;
    c.connected = readFirstLine(base + "/" + name + "/status") == "connected";
    if (auto modes = readWholeFile(base + "/" + name + "/modes")) {
      std::size_t pos = 0;
      std::string_view t = *modes;
      while (pos < t.size()) {
        auto end = t.find('\n', pos);
        if (end == std::string_view::npos) end = t.size();
        if (auto m = parseModeLine(t.substr(pos, end - pos))) c.modes.push_back(*m);
        pos = end + 1;
      }
    }
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<PciDisplayController> readPciDisplayControllers(const std::string& root) {
  std::vector<PciDisplayController> out;
  std::string base = joinPath(root, "sys/bus/pci/devices");
  for (const auto& slot : listDirectory(base)) {
    auto cls = parseNumber(readFirstLine(base + "/" + slot + "/class"));
    if (!cls || ((*cls >> 16) & 0xFF) != 0x03) continue;
    auto vendor = parseNumber(readFirstLine(base + "/" + slot + "/vendor"));
    auto device = parseNumber(readFirstLine(base + "/" + slot + "/device"));
    if (!vendor || !device) continue;
    out.push_back({slot, static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*device)});
  }
  return out;
}

std::optional<std::string> pciDeviceName(std::string_view db, std::uint16_t vendor,
                                         std::uint16_t device) {
  std::optional<std::string> vendorName;
  std::size_t pos = 0;
  while (pos < db.size()) {
    auto end = db.find('\n', pos);
    if (end == std::string_view::npos) end = db.size();
    std::string_view line = db.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (!vendorName) {
      if (line.front() == '\t' || !isHex4(line) || hex4(line) != vendor) continue;
      if (line.size() > 4 && line[4] != ' ' && line[4] != '\t') continue;
      vendorName = std::string(trimBlanks(line.substr(4)));
      continue;
    }
    // Inside the vendor's block: device lines start with one tab.
    if (line.front() != '\t') break;  // next vendor (or the class list)
    if (line.size() > 1 && line[1] == '\t') continue;  // subsystem line
    std::string_view d = line.substr(1);
    if (isHex4(d) && hex4(d) == device) {
      return *vendorName + " " + std::string(trimBlanks(d.substr(4)));
    }
  }
  if (!vendorName) return std::nullopt;
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (int shift = 12; shift >= 0; shift -= 4) hex += digits[(device >> shift) & 0xF];
  return *vendorName + " Device " + hex;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> parseVirtualSize(std::string_view text) {
  text = trimBlanks(text);
  auto comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  auto w = parseNumber(text.substr(0, comma));
  auto h = parseNumber(text.substr(comma + 1));
  if (!w || !h || *w == 0 || *h == 0 || *w > 65535 || *h > 65535) return std::nullopt;
  return std::make_pair(static_cast<std::uint32_t>(*w), static_cast<std::uint32_t>(*h));
}

DisplaySnapshot readDisplay(const std::string& root, const std::string& pciIdsPath,
                            bool withNames) {
  DisplaySnapshot snap;
  auto controllers = readPciDisplayControllers(root);
  if (withNames && !controllers.empty()) {
    std::optional<std::string> db;
    if (!pciIdsPath.empty()) {
      db = readWholeFile(pciIdsPath);
    } else {
      db = readWholeFile(joinPath(root, "usr/share/hwdata/pci.ids"));
      if (!db) db = readWholeFile(joinPath(root, "usr/share/misc/pci.ids"));
    }
    int n = 0;
    for (const auto& c : controllers) {
      DisplayDevice d;
      d.deviceName = "\\\\.\\DISPLAY" + std::to_string(++n);
      auto name = db ? pciDeviceName(*db, c.vendor, c.device) : std::nullopt;
      if (!name) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "PCI %04x:%04x", c.vendor, c.device);
        name = buf;
      }
      d.deviceString = utf8ToWindows1252(*name);
      snap.devices.push_back(std::move(d));
    }
  }
  auto connectors = readDrmConnectors(root);
  std::string fb = joinPath(root, "sys/class/graphics/fb0");
  auto size = parseVirtualSize(readFirstLine(fb + "/virtual_size"));
  auto bpp = parseNumber(readFirstLine(fb + "/bits_per_pixel"));
  std::uint32_t depth = bpp && *bpp > 0 && *bpp <= 64 ? static_cast<std::uint32_t>(*bpp) : 32;
  bool anyConnected = false;
  for (const auto& c : connectors) {
    if (!c.connected) continue;
    for (const auto& [w, h] : c.modes) {
      snap.modes.push_back({w, h, depth, 0});
      if (!anyConnected) {
        anyConnected = true;
        if (!size) size = std::make_pair(w, h);
      }
    }
  }
  if (size && (anyConnected || bpp)) {
    snap.caps.horzRes = static_cast<int>(size->first);
    snap.caps.vertRes = static_cast<int>(size->second);
    snap.caps.bitsPixel = static_cast<int>(depth);
  }
  return snap;
}

namespace {

class LinuxDisplay final : public RootedBackend<Display> {
 public:
  using RootedBackend::RootedBackend;
  DisplayCaps desktopCaps() const override { return readDisplay(root(), {}, false).caps; }
  std::vector<DisplayDevice> devices() const override { return readDisplay(root()).devices; }
  std::vector<DisplayMode> modes() const override { return readDisplay(root(), {}, false).modes; }
};

}  // namespace

std::unique_ptr<Display> makeLinuxDisplay(std::string root) {
  return std::make_unique<LinuxDisplay>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
