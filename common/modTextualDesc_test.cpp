// Every row of the eight text tables, and the fallback of each function for
// values outside its table. The expected texts are the system's own words,
// misspellings included.
#include "common/modTextualDesc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace quorvane {
namespace {

struct DescCase {
  const char* name;
  std::string (*fn)(std::int32_t);
  std::int32_t value;
  const char* expected;
};

void PrintTo(const DescCase& c, std::ostream* os) { *os << c.name; }

class TextualDescTest : public ::testing::TestWithParam<DescCase> {};

TEST_P(TextualDescTest, GivesTableText) {
  const DescCase& c = GetParam();
  EXPECT_EQ(c.fn(c.value), c.expected);
}

const DescCase kCases[] = {
    {"strGetBootDescription_0", strGetBootDescription, 0, "Windows had Normal boot"},
    {"strGetBootDescription_1", strGetBootDescription, 1, "Windows had Fail-Safe boot"},
    {"strGetBootDescription_2", strGetBootDescription, 2, "Windows had Fail-Safe with network boot"},
    {"getPaperBin_1", getPaperBin, 1, "Use paper from the upper bin"},
    {"getPaperBin_2", getPaperBin, 2, "Use paper from the lower bin"},
    {"getPaperBin_3", getPaperBin, 3, "Use paper from the middle bin"},
    {"getPaperBin_4", getPaperBin, 4, "Wait for manual insertion of each sheet of paper"},
    {"getPaperBin_5", getPaperBin, 5, "Use envelopes from the envelope feeder"},
    {"getPaperBin_6", getPaperBin, 6, "Use envelopes from the envelope feeder, but wait for manual insertion"},
    {"getPaperBin_7", getPaperBin, 7, "(Deafult) Use paper from the current default bin"},
    {"getPaperBin_8", getPaperBin, 8, "USe paper fed from the tractor feeder"},
    {"getPaperBin_9", getPaperBin, 9, "Use paper from the small paper bin"},
    {"getPaperBin_10", getPaperBin, 10, "Use paper from the large paper bin"},
    {"getPaperBin_11", getPaperBin, 11, "Use paper from the lower capacity feeder"},
    {"getPaperBin_14", getPaperBin, 14, "Use paper from the attached cassette cartridge"},
    {"getPaperSize_1", getPaperSize, 1, "Letter, 8 1/2 x 11 in."},
    {"getPaperSize_2", getPaperSize, 2, "Letter Small, 8 1/2 x 11 in."},
    {"getPaperSize_3", getPaperSize, 3, "Tabloid, 11 x 17 in."},
    {"getPaperSize_4", getPaperSize, 4, "Ledger, 17 x 11 in."},
    {"getPaperSize_5", getPaperSize, 5, "Legal, 8 1/2 x 14 in."},
    {"getPaperSize_6", getPaperSize, 6, "Statement, 5 1/2 x 8 1/2 in."},
    {"getPaperSize_7", getPaperSize, 7, "Executive, 7 1/2 x 10 1/2 in."},
    {"getPaperSize_8", getPaperSize, 8, "A3, 297 x 420 mm"},
    {"getPaperSize_9", getPaperSize, 9, "A4, 210 x 297 mm"},
    {"getPaperSize_10", getPaperSize, 10, "A4 Small, 210 x 297 mm"},
    {"getPaperSize_11", getPaperSize, 11, "A5, 148 x 210 mm"},
    {"getPaperSize_12", getPaperSize, 12, "B4, 250 x 354 mm"},
    {"getPaperSize_13", getPaperSize, 13, "B5, 182 x 257 mm"},
    {"getPaperSize_14", getPaperSize, 14, "Folio, 8 1/2 x 13 in."},
    {"getPaperSize_15", getPaperSize, 15, "Quarto, 215 x 275 mm"},
    {"getPaperSize_16", getPaperSize, 16, "10 x 14 in."},
    {"getPaperSize_17", getPaperSize, 17, "11 x 17 in."},
    {"getPaperSize_18", getPaperSize, 18, "Note, 8 1/2 x 11 in."},
    {"getPaperSize_19", getPaperSize, 19, "Envelope #9, 3 7/8 x 8 7/8 in."},
    {"getPaperSize_20", getPaperSize, 20, "Envelope #10, 4 1/8 x 9 1/2 in."},
    {"getPaperSize_21", getPaperSize, 21, "Envelope #11, 4 1/2 x 10 3/8 in."},
    {"getPaperSize_22", getPaperSize, 22, "Envelope #12, 4 1/2 x 11 in."},
    {"getPaperSize_23", getPaperSize, 23, "Envelope #14, 5 x 11 1/2 in."},
    {"getPaperSize_24", getPaperSize, 24, "C size sheet"},
    {"getPaperSize_25", getPaperSize, 25, "D size sheet"},
    {"getPaperSize_26", getPaperSize, 26, "E size sheet"},
    {"getPaperSize_27", getPaperSize, 27, "Envelope DL, 110 x 220 mm"},
    {"getPaperSize_28", getPaperSize, 28, "Envelope C5, 162 x 229 mm"},
    {"getPaperSize_29", getPaperSize, 29, "Envelope C3, 324 x 458 mm"},
    {"getPaperSize_30", getPaperSize, 30, "Envelope C4, 229 x 324 mm"},
    {"getPaperSize_31", getPaperSize, 31, "Envelope C6, 114 x 162 mm"},
    {"getPaperSize_32", getPaperSize, 32, "Envelope C65, 114 x 229 mm"},
    {"getPaperSize_33", getPaperSize, 33, "Envelope B4, 250 x 353 mm"},
    {"getPaperSize_34", getPaperSize, 34, "Envelope B5, 176 x 250 mm"},
    {"getPaperSize_35", getPaperSize, 35, "Envelope B6, 176 x 125 mm"},
    {"getPaperSize_36", getPaperSize, 36, "Envelope, 110 x 230 mm"},
    {"getPaperSize_37", getPaperSize, 37, "Envelope Monarch, 3 7/8 x 7 1/2 in."},
    {"getPaperSize_38", getPaperSize, 38, "Envelope, 3 5/8 x 6 1/2 in."},
    {"getPaperSize_39", getPaperSize, 39, "U.S. Standard Fanfold, 14 7/8 x 11 in."},
    {"getPaperSize_40", getPaperSize, 40, "German Standard Fanfold, 8 1/2 x 12 in."},
    {"getPaperSize_41", getPaperSize, 41, "German Legal Fanfold, 8 1/2 x 13 in."},
    {"getPaperSize_256", getPaperSize, 256, "User-defined"},
    {"getPrintQuality_m1", getPrintQuality, -1, "Draft resolution"},
    {"getPrintQuality_m2", getPrintQuality, -2, "Low resolution"},
    {"getPrintQuality_m3", getPrintQuality, -3, "Medium resolution"},
    {"getPrintQuality_m4", getPrintQuality, -4, "High resolution"},
    {"getDuplexDescription_0", getDuplexDescription, 0, "(Default)"},
    {"getDuplexDescription_1", getDuplexDescription, 1, "Single-sided printing with the current orientation setting"},
    {"getDuplexDescription_2", getDuplexDescription, 2, "Double-sided printing using a horizontal page turn"},
    {"getDuplexDescription_3", getDuplexDescription, 3, "Double-sided printing using a vertical page turn"},
    {"getDocumentOrientation_1", getDocumentOrientation, 1, "Portrait"},
    {"getDocumentOrientation_2", getDocumentOrientation, 2, "Landscape"},
    {"getOEMCodePageName_437", getOEMCodePageName, 437, "MS-DOS United States"},
    {"getOEMCodePageName_708", getOEMCodePageName, 708, "Arabic (ASMO 708)"},
    {"getOEMCodePageName_709", getOEMCodePageName, 709, "Arabic (ASMO 449+, BCON V4)"},
    {"getOEMCodePageName_710", getOEMCodePageName, 710, "Arabic (Transparent Arabic)"},
    {"getOEMCodePageName_720", getOEMCodePageName, 720, "Arabic (Transparent ASMO)"},
    {"getOEMCodePageName_737", getOEMCodePageName, 737, "Greek (formerly 437G)"},
    {"getOEMCodePageName_775", getOEMCodePageName, 775, "Baltic"},
    {"getOEMCodePageName_850", getOEMCodePageName, 850, "MS-DOS Multilingual (Latin I)"},
    {"getOEMCodePageName_852", getOEMCodePageName, 852, "MS-DOS Slavic (Latin II)"},
    {"getOEMCodePageName_855", getOEMCodePageName, 855, "IBM Cyrillic (primarily Russian)"},
    {"getOEMCodePageName_857", getOEMCodePageName, 857, "IBM Turkish"},
    {"getOEMCodePageName_860", getOEMCodePageName, 860, "MS-DOS Portuguese"},
    {"getOEMCodePageName_861", getOEMCodePageName, 861, "MS-DOS Icelandic"},
    {"getOEMCodePageName_862", getOEMCodePageName, 862, "Hebrew"},
    {"getOEMCodePageName_863", getOEMCodePageName, 863, "MS-DOS Canadian-French"},
    {"getOEMCodePageName_864", getOEMCodePageName, 864, "Arabic"},
    {"getOEMCodePageName_865", getOEMCodePageName, 865, "MS-DOS Nordic"},
    {"getOEMCodePageName_866", getOEMCodePageName, 866, "MS-DOS Russian"},
    {"getOEMCodePageName_869", getOEMCodePageName, 869, "IBM Modern Greek"},
    {"getOEMCodePageName_874", getOEMCodePageName, 874, "Thai"},
    {"getOEMCodePageName_932", getOEMCodePageName, 932, "Japan"},
    {"getOEMCodePageName_936", getOEMCodePageName, 936, "Chinese (PRC, Singapore)"},
    {"getOEMCodePageName_949", getOEMCodePageName, 949, "Korean"},
    {"getOEMCodePageName_950", getOEMCodePageName, 950, "Chinese (Taiwan; Hong Kong SAR, PRC)"},
    {"getOEMCodePageName_1361", getOEMCodePageName, 1361, "Korean (Johab)"},
    {"getANSICodePageName_874", getANSICodePageName, 874, "Thai"},
    {"getANSICodePageName_932", getANSICodePageName, 932, "Japan"},
    {"getANSICodePageName_936", getANSICodePageName, 936, "Chinese (PRC, Singapore)"},
    {"getANSICodePageName_949", getANSICodePageName, 949, "Korean"},
    {"getANSICodePageName_950", getANSICodePageName, 950, "Chinese (Taiwan; Hong Kong SAR, PRC)"},
    {"getANSICodePageName_1200", getANSICodePageName, 1200, "Unicode (BMP of ISO 10646)"},
    {"getANSICodePageName_1250", getANSICodePageName, 1250, "Windows 3.1 Eastern European"},
    {"getANSICodePageName_1251", getANSICodePageName, 1251, "Windows 3.1 Cyrillic"},
    {"getANSICodePageName_1252", getANSICodePageName, 1252, "Windows 3.1 Latin 1 (US, Western Europe)"},
    {"getANSICodePageName_1253", getANSICodePageName, 1253, "Windows 3.1 Greek"},
    {"getANSICodePageName_1254", getANSICodePageName, 1254, "Windows 3.1 Turkish"},
    {"getANSICodePageName_1255", getANSICodePageName, 1255, "Hebrew"},
    {"getANSICodePageName_1256", getANSICodePageName, 1256, "Arabic"},
    {"getANSICodePageName_1257", getANSICodePageName, 1257, "Baltic"},
        // Values outside the tables give each function's own fallback.
    {"strGetBootDescription_3_empty", strGetBootDescription, 3, ""},
    {"strGetBootDescription_m1_empty", strGetBootDescription, -1, ""},
    {"getPaperBin_0_unknown", getPaperBin, 0, "Unknown"},
    {"getPaperBin_12_unknown", getPaperBin, 12, "Unknown"},
    {"getPaperBin_13_unknown", getPaperBin, 13, "Unknown"},
    {"getPaperBin_15_unknown", getPaperBin, 15, "Unknown"},
    {"getPaperSize_0_unknown", getPaperSize, 0, "Unknown"},
    {"getPaperSize_42_unknown", getPaperSize, 42, "Unknown"},
    {"getPaperSize_255_unknown", getPaperSize, 255, "Unknown"},
    {"getPaperSize_257_unknown", getPaperSize, 257, "Unknown"},
    {"getPrintQuality_1_unknown", getPrintQuality, 1, "Unknown"},
    {"getPrintQuality_0_unknown", getPrintQuality, 0, "Unknown"},
    {"getPrintQuality_m5_unknown", getPrintQuality, -5, "Unknown"},
    {"getDuplexDescription_4_unknown", getDuplexDescription, 4, "Unknown"},
    {"getDuplexDescription_m1_unknown", getDuplexDescription, -1, "Unknown"},
    {"getDocumentOrientation_0_default", getDocumentOrientation, 0, "Default"},
    {"getDocumentOrientation_3_default", getDocumentOrientation, 3, "Default"},
    {"getOEMCodePageName_1252_unknown", getOEMCodePageName, 1252, "Unknown"},
    {"getOEMCodePageName_0_unknown", getOEMCodePageName, 0, "Unknown"},
    {"getANSICodePageName_437_unknown", getANSICodePageName, 437, "Unknown"},
    {"getANSICodePageName_862_unknown", getANSICodePageName, 862, "Unknown"},
    {"getANSICodePageName_1361_unknown", getANSICodePageName, 1361, "Unknown"},
    {"getANSICodePageName_min_unknown", getANSICodePageName, INT32_MIN, "Unknown"},
    {"getOEMCodePageName_max_unknown", getOEMCodePageName, INT32_MAX, "Unknown"},
    {"getPaperSize_min_unknown", getPaperSize, INT32_MIN, "Unknown"},
    {"strGetBootDescription_max_empty", strGetBootDescription, INT32_MAX, ""},
};

INSTANTIATE_TEST_SUITE_P(
    Tables, TextualDescTest, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<DescCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
