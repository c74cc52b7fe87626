#include "common/modTextualDesc.h"

#include <span>
#include <string_view>

namespace quorvane {
namespace {

struct Row {
  std::int32_t value;
  std::string_view text;
};

std::string lookup(std::span<const Row> rows, std::int32_t value, std::string_view fallback) {
  for (const Row& row : rows) {
    if (row.value == value) return std::string(row.text);
  }
  return std::string(fallback);
}

constexpr Row kBoot[] = {
    {0, "Windows had Normal boot"},
    {1, "Windows had Fail-Safe boot"},
    {2, "Windows had Fail-Safe with network boot"},
};

constexpr Row kPaperBin[] = {
    {1, "Use paper from the upper bin"},
    {2, "Use paper from the lower bin"},
    {3, "Use paper from the middle bin"},
    {4, "Wait for manual insertion of each sheet of paper"},
    {5, "Use envelopes from the envelope feeder"},
    {6, "Use envelopes from the envelope feeder, but wait for manual insertion"},
    {7, "(Deafult) Use paper from the current default bin"},
    {8, "USe paper fed from the tractor feeder"},
    {9, "Use paper from the small paper bin"},
    {10, "Use paper from the large paper bin"},
    {11, "Use paper from the lower capacity feeder"},
    {14, "Use paper from the attached cassette cartridge"},
};

constexpr Row kPaperSize[] = {
    {1, "Letter, 8 1/2 x 11 in."},
    {2, "Letter Small, 8 1/2 x 11 in."},
    {3, "Tabloid, 11 x 17 in."},
    {4, "Ledger, 17 x 11 in."},
    {5, "Legal, 8 1/2 x 14 in."},
    {6, "Statement, 5 1/2 x 8 1/2 in."},
    {7, "Executive, 7 1/2 x 10 1/2 in."},
    {8, "A3, 297 x 420 mm"},
    {9, "A4, 210 x 297 mm"},
    {10, "A4 Small, 210 x 297 mm"},
    {11, "A5, 148 x 210 mm"},
    {12, "B4, 250 x 354 mm"},
    {13, "B5, 182 x 257 mm"},
    {14, "Folio, 8 1/2 x 13 in."},
    {15, "Quarto, 215 x 275 mm"},
    {16, "10 x 14 in."},
    {17, "11 x 17 in."},
    {18, "Note, 8 1/2 x 11 in."},
    {19, "Envelope #9, 3 7/8 x 8 7/8 in."},
    {20, "Envelope #10, 4 1/8 x 9 1/2 in."},
    {21, "Envelope #11, 4 1/2 x 10 3/8 in."},
    {22, "Envelope #12, 4 1/2 x 11 in."},
    {23, "Envelope #14, 5 x 11 1/2 in."},
    {24, "C size sheet"},
    {25, "D size sheet"},
    {26, "E size sheet"},
    {27, "Envelope DL, 110 x 220 mm"},
    {28, "Envelope C5, 162 x 229 mm"},
    {29, "Envelope C3, 324 x 458 mm"},
    {30, "Envelope C4, 229 x 324 mm"},
    {31, "Envelope C6, 114 x 162 mm"},
    {32, "Envelope C65, 114 x 229 mm"},
    {33, "Envelope B4, 250 x 353 mm"},
    {34, "Envelope B5, 176 x 250 mm"},
    {35, "Envelope B6, 176 x 125 mm"},
    {36, "Envelope, 110 x 230 mm"},
    {37, "Envelope Monarch, 3 7/8 x 7 1/2 in."},
    {38, "Envelope, 3 5/8 x 6 1/2 in."},
    {39, "U.S. Standard Fanfold, 14 7/8 x 11 in."},
    {40, "German Standard Fanfold, 8 1/2 x 12 in."},
    {41, "German Legal Fanfold, 8 1/2 x 13 in."},
    {256, "User-defined"},
};

constexpr Row kPrintQuality[] = {
    {-1, "Draft resolution"},
    {-2, "Low resolution"},
    {-3, "Medium resolution"},
    {-4, "High resolution"},
};

constexpr Row kDuplex[] = {
    {0, "(Default)"},
    {1, "Single-sided printing with the current orientation setting"},
    {2, "Double-sided printing using a horizontal page turn"},
    {3, "Double-sided printing using a vertical page turn"},
};

constexpr Row kOrientation[] = {
    {1, "Portrait"},
    {2, "Landscape"},
};

constexpr Row kOEMCodePage[] = {
    {437, "MS-DOS United States"},
    {708, "Arabic (ASMO 708)"},
    {709, "Arabic (ASMO 449+, BCON V4)"},
    {710, "Arabic (Transparent Arabic)"},
    {720, "Arabic (Transparent ASMO)"},
    {737, "Greek (formerly 437G)"},
    {775, "Baltic"},
    {850, "MS-DOS Multilingual (Latin I)"},
    {852, "MS-DOS Slavic (Latin II)"},
    {855, "IBM Cyrillic (primarily Russian)"},
    {857, "IBM Turkish"},
    {860, "MS-DOS Portuguese"},
    {861, "MS-DOS Icelandic"},
    {862, "Hebrew"},
    {863, "MS-DOS Canadian-French"},
    {864, "Arabic"},
    {865, "MS-DOS Nordic"},
    {866, "MS-DOS Russian"},
    {869, "IBM Modern Greek"},
    {874, "Thai"},
    {932, "Japan"},
    {936, "Chinese (PRC, Singapore)"},
    {949, "Korean"},
    {950, "Chinese (Taiwan; Hong Kong SAR, PRC)"},
    {1361, "Korean (Johab)"},
};

constexpr Row kANSICodePage[] = {
    {874, "Thai"},
    {932, "Japan"},
    {936, "Chinese (PRC, Singapore)"},
    {949, "Korean"},
    {950, "Chinese (Taiwan; Hong Kong SAR, PRC)"},
    {1200, "Unicode (BMP of ISO 10646)"},
    {1250, "Windows 3.1 Eastern European"},
    {1251, "Windows 3.1 Cyrillic"},
    {1252, "Windows 3.1 Latin 1 (US, Western Europe)"},
    {1253, "Windows 3.1 Greek"},
    {1254, "Windows 3.1 Turkish"},
    {1255, "Hebrew"},
    {1256, "Arabic"},
    {1257, "Baltic"},
};

constexpr std::string_view kUnknown = "Unknown";

}  // namespace

std::string strGetBootDescription(std::int32_t value) { return lookup(kBoot, value, ""); }
std::string getPaperBin(std::int32_t value) { return lookup(kPaperBin, value, kUnknown); }
std::string getPaperSize(std::int32_t value) { return lookup(kPaperSize, value, kUnknown); }
std::string getPrintQuality(std::int32_t value) { return lookup(kPrintQuality, value, kUnknown); }
std::string getDuplexDescription(std::int32_t value) { return lookup(kDuplex, value, kUnknown); }
std::string getDocumentOrientation(std::int32_t value) {
  return lookup(kOrientation, value, "Default");
}
std::string getOEMCodePageName(std::int32_t value) { return lookup(kOEMCodePage, value, kUnknown); }
std::string getANSICodePageName(std::int32_t value) {
  return lookup(kANSICodePage, value, kUnknown);
}

}  // namespace quorvane
