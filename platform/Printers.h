// Printers: the installed-printer list with each printer's current settings
// (EnumPrinters level 2 and the printer's DEVMODE on Windows).
//
// Numbers are the system's own printer codes (colour mode 1 monochrome,
// 2 colour; duplex 1 simplex, 2 long-edge, 3 short-edge; orientation
// 1 portrait, 2 landscape; the DMBIN_ paper sources; the DMPAPER_ sizes,
// 256 user-defined; print quality negative DMRES_ codes or dots per inch).
// A code the system does not know is 0. Texts are 8-bit (Windows-1252).
// A system without a print service or without printers gives an empty list;
// an error is only for a list that cannot be read at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Status.h"

namespace quorvane::platform {

struct PrinterSettings {
  std::string deviceName;
  std::string driverName;
  std::string portName;
  std::int32_t colorMode = 0;
  std::int32_t duplex = 0;
  std::int32_t orientation = 0;
  std::int32_t defaultSource = 0;
  std::int32_t paperSize = 0;
  std::int32_t printQuality = 0;
  friend bool operator==(const PrinterSettings&, const PrinterSettings&) = default;
};

inline constexpr std::int32_t DMCOLOR_MONOCHROME = 1;
inline constexpr std::int32_t DMCOLOR_COLOR = 2;

class Printers {
 public:
  virtual ~Printers() = default;
  // In the order the system lists them.
  virtual Expected<std::vector<PrinterSettings>> installed() const = 0;
};

}  // namespace quorvane::platform
