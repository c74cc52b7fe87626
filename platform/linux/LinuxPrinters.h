// Linux backend of Printers, with its pure parser.
//
// Source: the CUPS destinations (libcups cupsGetDests2 over a connection to
// the local scheduler). The raw step copies each destination into a
// CupsDest (name, instance, options); the pure step maps the options to the
// system's printer codes:
//   DisplayName  name, "/instance" appended for an instance
//   DriverName   printer-make-and-model;  Port  device-uri
//   colour       print-color-mode, else the colour bit of printer-type
//   duplex       sides: one-sided 1, two-sided-long-edge 2, two-sided-short-edge 3
//   orientation  orientation-requested: 3/6 portrait 1, 4/5 landscape 2
//   paper source media-source / InputSlot names -> DMBIN_ codes
//   paper size   media / PageSize names -> DMPAPER_ codes (unknown name 256)
//   quality      print-quality 3/4/5 -> -1/-3/-4, else printer-resolution /
//                Resolution in dpi
// A setting the destination does not state is 0 (duplex and orientation:
// 1, the defaults of every print queue).
// No scheduler, or one that does not answer within the time limit, gives no
// printers.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Printers.h"

namespace quorvane::platform::linux_backend {

struct CupsDest {
  std::string name;
  std::string instance;
  bool isDefault = false;
  std::vector<std::pair<std::string, std::string>> options;  // in libcups order
};

std::int32_t paperSizeCode(std::string_view media);
std::int32_t paperSourceCode(std::string_view source);
PrinterSettings printerFromCupsDest(const CupsDest& dest);
std::vector<PrinterSettings> printersFromCupsDests(const std::vector<CupsDest>& dests);

// The raw read. Connects to the scheduler (cupsServer(), ippPort()) giving
// the whole exchange at most `limit`; an empty list when there is no answer.
std::vector<CupsDest> readCupsDests(std::chrono::milliseconds limit);

std::unique_ptr<Printers> makeLinuxPrinters(
    std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

}  // namespace quorvane::platform::linux_backend
