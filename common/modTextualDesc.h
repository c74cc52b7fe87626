// modTextualDesc: the texts shown for the settings that an audit stores as
// bare numbers (Windows boot mode, a printer's paper source, paper size,
// print quality, duplex mode and orientation, the keyboard's code pages).
//
// Shared by the console's views and the report library. Every function is an
// exact-match lookup over one fixed table; any value outside the table gives
// the function's fallback (empty text, "Unknown" or "Default"). The results
// are 8-bit texts (all plain ASCII). No state, no errors, any value accepted.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// 0..2, otherwise empty text.
std::string strGetBootDescription(std::int32_t value);
// 1..11 and 14, otherwise "Unknown".
std::string getPaperBin(std::int32_t value);
// 1..41 and 256, otherwise "Unknown".
std::string getPaperSize(std::int32_t value);
// -1..-4, otherwise "Unknown".
std::string getPrintQuality(std::int32_t value);
// 0..3, otherwise "Unknown".
std::string getDuplexDescription(std::int32_t value);
// 1 and 2, otherwise "Default".
std::string getDocumentOrientation(std::int32_t value);
// OEM code pages, otherwise "Unknown".
std::string getOEMCodePageName(std::int32_t value);
// ANSI code pages, otherwise "Unknown".
std::string getANSICodePageName(std::int32_t value);

}  // namespace quorvane
