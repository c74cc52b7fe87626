// SystemParameters: SystemParametersInfoA for the actions that return one
// number (a BOOL, UINT or DWORD written through the pointer argument).
//
// `get(action, param)` returns the number written, or nullopt when the call
// fails (the action is unknown to the system). Actions the collectors use are
// named below.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvane::platform {

inline constexpr unsigned SPI_GETKEYBOARDSPEED = 10;
inline constexpr unsigned SPI_GETKEYBOARDDELAY = 22;
inline constexpr unsigned SPI_GETSCREENREADER = 70;
inline constexpr unsigned SPI_GETWINDOWSEXTENSION = 92;
inline constexpr unsigned SPI_GETCARETWIDTH = 0x2006;

class SystemParameters {
 public:
  virtual ~SystemParameters() = default;
  virtual std::optional<std::int64_t> get(unsigned action, unsigned param) const = 0;
};

}  // namespace quorvane::platform
