// Display: the desktop's device capabilities (GetDeviceCaps), the display
// devices (EnumDisplayDevicesA) and the display modes (EnumDisplaySettingsA).
//
// Lists come whole, in enumeration order; an enumeration that fails at once
// is an empty list. A machine without a display has capabilities of 0 and
// empty lists. Texts are 8-bit (Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::platform {

struct DisplayCaps {
  int horzRes = 0;    // HORZRES (8)
  int vertRes = 0;    // VERTRES (10)
  int bitsPixel = 0;  // BITSPIXEL (12)
  int vRefresh = 0;   // VREFRESH (116)
  friend bool operator==(const DisplayCaps&, const DisplayCaps&) = default;
};

struct DisplayDevice {
  std::string deviceName;    // "\\.\DISPLAY1"
  std::string deviceString;  // adapter description
  std::uint32_t stateFlags = 0;
  friend bool operator==(const DisplayDevice&, const DisplayDevice&) = default;
};

struct DisplayMode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t frequency = 0;
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

class Display {
 public:
  virtual ~Display() = default;
  virtual DisplayCaps desktopCaps() const = 0;
  virtual std::vector<DisplayDevice> devices() const = 0;
  virtual std::vector<DisplayMode> modes() const = 0;
};

}  // namespace quorvane::platform
