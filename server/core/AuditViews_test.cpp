// View texts of the audit browser against records built here. Every expected
// text is written out in full: labels, TABs (\t), CR LF line ends and order.
#include "server/core/AuditViews.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/ErrorReport.h"

namespace quorvane {
namespace {

template <class T>
Array<T> arrayOf(std::vector<T> items, std::int32_t lowerBound = 0) {
  Array<T> a(std::move(items));
  a.lowerBound = lowerBound;
  return a;
}

// ---------------------------------------------------------------------------
// Hardware

PrinterInfo laserPrinter() {
  PrinterInfo p;
  p.DisplayName = "HP LaserJet 4";
  p.DriverName = "HP LaserJet 4 PCL";
  p.Port = "LPT1:";
  p.Colour = false;
  p.Duplex = 1;
  p.Orientation = 1;
  p.PaperBin = 7;
  p.PaperSize = 9;
  p.PrintQuality = -4;
  return p;
}

PrinterInfo inkjetPrinter() {
  PrinterInfo p;
  p.DisplayName = "Epson Stylus";
  p.DriverName = "EPSON Stylus COLOR 760";
  p.Port = "USB001";
  p.Colour = true;
  p.Duplex = 5;
  p.Orientation = 0;
  p.PaperBin = 12;
  p.PaperSize = 256;
  p.PrintQuality = 300;
  return p;
}

const char* const kLaserBlock =
    "HP LaserJet 4\r\n"
    "\tDriver Name : \tHP LaserJet 4 PCL\r\n"
    "\tPrinter Port : \tLPT1:\r\n"
    "\tColour Printer : \tFalse\r\n"
    "\tDuplex ? : \tSingle-sided printing with the current orientation setting\r\n"
    "\tPaper Orientation : \tPortrait\r\n"
    "\tPaper Bin : \t(Deafult) Use paper from the current default bin\r\n"
    "\tPaper Size : \tA4, 210 x 297 mm\r\n"
    "\tPrint Quality : \tHigh resolution";

const char* const kInkjetBlock =
    "Epson Stylus\r\n"
    "\tDriver Name : \tEPSON Stylus COLOR 760\r\n"
    "\tPrinter Port : \tUSB001\r\n"
    "\tColour Printer : \tTrue\r\n"
    "\tDuplex ? : \tUnknown\r\n"
    "\tPaper Orientation : \tDefault\r\n"
    "\tPaper Bin : \tUnknown\r\n"
    "\tPaper Size : \tUser-defined\r\n"
    "\tPrint Quality : \tUnknown";

KeyboardInfo keyboard() {
  KeyboardInfo k;
  k.Model = "IBM PC/AT 101";
  k.KeyboardType = "4/0";
  k.OEMCodePage = "437";
  k.ANSICodePage = "1252";
  k.LayoutID = "00000409";
  k.LayoutName = "US";
  k.RepeatDelay = "1";
  k.RepeatSpeed = "31";
  k.NumberOfFunctionKeys = "12";
  k.CaretFlashSpeed = "530 ms";
  k.CaretWidth = "1 pixels";
  k.DriverFile = "kbdus.dll";
  k.DriverDesc = "Standard 101/102-Key";
  k.DriverVers = "4.10.0.2222";
  k.DriverProv = "Microsoft";
  k.DriverDate = "5-11-1998";
  k.DriverTime = "22:22";
  return k;
}

const char* const kKeyboardText =
    "Model : \tIBM PC/AT 101\r\n"
    "\tKeyboard Type : \t4/0\r\n"
    "\tLayout Name : \tUS\r\n"
    "\tLayout ID : \t00000409\r\n"
    "\tDriver File : \tkbdus.dll\r\n"
    "\tDriver Description : \tStandard 101/102-Key\r\n"
    "\tDriver Provider : \tMicrosoft\r\n"
    "\tDriver Version : \t4.10.0.2222\r\n"
    "\tDriver Date : \t5-11-1998\r\n"
    "\tDriver Time : \t22:22\r\n"
    "\tOEM Code Page : \tMS-DOS United States\r\n"
    "\tANSI Code Page : \tWindows 3.1 Latin 1 (US, Western Europe)\r\n"
    "\tCaret Width : \t1 pixels\r\n"
    "\tCaret Flash Speed : \t530 ms\r\n"
    "\tNo. Function Keys : \t12\r\n"
    "\tRepeat Delay : \t1\r\n"
    "\tRepeat Speed : \t31\r\n"
    "\t";

ProcessorInfo processor() {
  ProcessorInfo p;
  p.NumberOfCPUs = "2";
  p.ActiveProcessorMark = "3";
  p.CPUVersion = "Model 8";
  p.CPUClass = "Pentium III";
  p.CPUStepping = "Stepping 10";
  p.CPUSpeed = "996 Mhz";
  p.MinAppAddress = "65536";
  p.MaxAppAddress = "2147418111";
  p.PageSize = "4096";
  p.LowEndCPU = false;
  p.BlockSize = "65536";
  return p;
}

const char* const kProcessorText =
    "CPU Class : \tPentium III\r\n"
    "CPU Speed : \t996 Mhz\r\n"
    "CPU Version : \tModel 8\r\n"
    "CPU Stepping : \tStepping 10\r\n"
    "Number of CPUs : \t2\r\n"
    "Is a low end CPU : \tFalse\r\n"
    "Block Size : \t65536\r\n"
    "Active Processor Mark : \t3\r\n"
    "Min App Address : \t65536\r\n"
    "Max App Address : \t2147418111\r\n"
    "Page Size : \t4096\r\n";

MemoryInfo memory() {
  MemoryInfo m;
  m.TotalMemoryAvailable = "511 MBytes";
  m.TotalPhysicalMemory = "523744 KBytes";
  m.TotalAvailablePhysicalMemory = "301200 KBytes";
  m.MaxSwapFile = "1280000 KBytes";
  m.CurrentSwapFile = "786432 KBytes";
  m.FreeSwapFile = "700000 KBytes";
  m.MemoryLoad = "42 %";
  return m;
}

const char* const kMemoryText =
    "Total Memory Available : \t511 MBytes\r\n"
    "Total Physical Memory : \t523744 KBytes\r\n"
    "Total Physical Memory Available : \t301200 KBytes\r\n"
    "Current Swap File : \t786432 KBytes\r\n"
    "Max Swap File : \t1280000 KBytes\r\n"
    "Free Swap File : \t700000 KBytes\r\n"
    "Memory Load : \t42 %\r\n";

VideoInfo video() {
  VideoInfo v;
  v.VideoCards = arrayOf<Text>({"S3 Trio64V+", "NVIDIA GeForce2 MX"});
  v.currResolution = "1024 * 768";
  v.currColourDepth = "32 bits per pixel  (True Color)";
  v.currFrequency = "60 hz  (Hardware default)";
  v.VideoModes = arrayOf<Text>({"640*480 8bit colour (256 Colours)",
                                "800*600 16bit colour (High Color)"});
  return v;
}

const char* const kVideoText =
    "Display Adapters : \r\n"
    "\tS3 Trio64V+\r\n"
    "\tNVIDIA GeForce2 MX\r\n"
    "\r\n"
    "Current Resolution : \t1024 * 768\r\n"
    "Current Colour Depth : \t32 bits per pixel  (True Color)\r\n"
    "Current Frequency : \t60 hz  (Hardware default)\r\n"
    "\r\n"
    "Supported Video Modes : \r\n"
    "\t640*480 8bit colour (256 Colours)\r\n"
    "\t800*600 16bit colour (High Color)\r\n";

// A headless PC: its record holds no video modes at all.
const char* const kVideoNoModes =
    "Display Adapters : \r\n"
    "\tS3 Trio64V+\r\n"
    "\tNVIDIA GeForce2 MX\r\n"
    "\r\n"
    "Current Resolution : \t1024 * 768\r\n"
    "Current Colour Depth : \t32 bits per pixel  (True Color)\r\n"
    "Current Frequency : \t60 hz  (Hardware default)\r\n"
    "\r\n"
    "Supported Video Modes : \r\n";

WaveDeviceCaps waveDevice(const char* name, std::int32_t features) {
  WaveDeviceCaps d;
  d.DeviceName = name;
  d.DriverVersion = "5.0";
  d.AudioChannels = "2";
  d.ManufacturerID = "1";
  d.ProductID = "2";
  d.Features = features;
  return d;
}

SoundInfo sound() {
  SoundInfo s;
  s.boolPresent = true;
  s.strIOPort = "220";
  s.strIRQ = "5";
  s.strDMA = "1";
  s.WaveOutDevices = arrayOf<WaveDeviceCaps>({waveDevice("Microsoft Sound Mapper", 0x20001),
                                              waveDevice("", -1),
                                              waveDevice("SB Live! Wave Device", -1)});
  s.WaveInDevices = arrayOf<WaveDeviceCaps>({waveDevice("Not shown", 0)});
  return s;
}

const char* const kSoundHead =
    "Sound Present : \tTrue\r\n"
    "DMA : \t1\r\n"
    "IO Port : \t220\r\n"
    "IRQ : \t5\r\n"
    "\r\n"
    "Output Devices : \r\n";

const char* const kMapperLines =
    "Microsoft Sound Mapper\r\n"
    "\tDriver Version : 5.0\r\n"
    "\tManufacturer ID : 1\r\n"
    "\tProduct ID : 2\r\n"
    "\tAudio Channels : 2\r\n"
    "\tPitch Control : False\r\n"
    "\tVolume Control : False\r\n"
    "\tSynchronous Operation : False\r\n"
    "\tPlayback Rate Control : False\r\n"
    "\tSample-Accurate Position Info : False\r\n"
    "\tSeperate Left & Right Channels : True\r\n"
    "\tSupports 11.025 kHz, 8-bit, mono playback : \tTrue\r\n"
    "\tSupports 11.025 kHz, 16-bit, mono playback : \tFalse\r\n"
    "\tSupports 11.025 kHz, 8-bit, stereo playback : \tFalse\r\n"
    "\tSupports 11.025 kHz, 16-bit, steoeo playback : \tFalse\r\n"
    "\tSupports 22.05 kHz, 8-bit, mono playback : \tFalse\r\n"
    "\tSupports 22.05 kHz, 16-bit, mono playback : \tFalse\r\n"
    "\tSupports 22.05 kHz, 8-bit, stereo playback : \tFalse\r\n"
    "\tSupports 22.05 kHz, 16-bit, stereo playback : \tFalse\r\n"
    "\tSupports 44.1 kHz, 8-bit, mono playback : \tFalse\r\n"
    "\tSupports 44.1 kHz, 16-bit, mono playback : \tFalse\r\n"
    "\tSupports 44.1 kHz, 8-bit, stereo playback : \tFalse\r\n"
    "\tSupports 44.1 kHz, 16-bit, stereo playback : \tFalse\r\n";

const char* const kSbLiveLines =
    "SB Live! Wave Device\r\n"
    "\tDriver Version : 5.0\r\n"
    "\tManufacturer ID : 1\r\n"
    "\tProduct ID : 2\r\n"
    "\tAudio Channels : 2\r\n"
    "\tPitch Control : True\r\n"
    "\tVolume Control : True\r\n"
    "\tSynchronous Operation : True\r\n"
    "\tPlayback Rate Control : True\r\n"
    "\tSample-Accurate Position Info : True\r\n"
    "\tSeperate Left & Right Channels : True\r\n"
    "\tSupports 11.025 kHz, 8-bit, mono playback : \tTrue\r\n"
    "\tSupports 11.025 kHz, 16-bit, mono playback : \tTrue\r\n"
    "\tSupports 11.025 kHz, 8-bit, stereo playback : \tTrue\r\n"
    "\tSupports 11.025 kHz, 16-bit, steoeo playback : \tTrue\r\n"
    "\tSupports 22.05 kHz, 8-bit, mono playback : \tTrue\r\n"
    "\tSupports 22.05 kHz, 16-bit, mono playback : \tTrue\r\n"
    "\tSupports 22.05 kHz, 8-bit, stereo playback : \tTrue\r\n"
    "\tSupports 22.05 kHz, 16-bit, stereo playback : \tTrue\r\n"
    "\tSupports 44.1 kHz, 8-bit, mono playback : \tTrue\r\n"
    "\tSupports 44.1 kHz, 16-bit, mono playback : \tTrue\r\n"
    "\tSupports 44.1 kHz, 8-bit, stereo playback : \tTrue\r\n"
    "\tSupports 44.1 kHz, 16-bit, stereo playback : \tTrue\r\n";

DriveInfo drive(const char* name, const char* sort, const char* label) {
  DriveInfo d;
  d.DriveName = name;
  d.DriveSort = sort;
  d.DriveLabel = label;
  d.DriveSerial = "1A2B-3C4D";
  d.DriveSize = "20002 MBytes";
  d.DriveFree = "5000 MBytes";
  d.DriveUsed = "15002 MBytes";
  d.DriveType = "FAT32";
  return d;
}

const char* const kDriveC =
    "C:\\\r\n"
    "\tDrive Sort : Fixed\r\n"
    "\tDrive Label : SYSTEM\r\n"
    "\tDrive Serial : 1A2B-3C4D\r\n"
    "\tDrive Size : 20002 MBytes\r\n"
    "\tDrive Free : 5000 MBytes\r\n"
    "\tDrive Used : 15002 MBytes";
const char* const kDriveD =
    "D:\\\r\n"
    "\tDrive Sort : CD-ROM\r\n"
    "\tDrive Label : \r\n"
    "\tDrive Serial : 1A2B-3C4D\r\n"
    "\tDrive Size : 20002 MBytes\r\n"
    "\tDrive Free : 5000 MBytes\r\n"
    "\tDrive Used : 15002 MBytes";
const char* const kDriveE =
    "E:\\\r\n"
    "\tDrive Sort : Network\r\n"
    "\tDrive Label : SHARE\r\n"
    "\tDrive Serial : 1A2B-3C4D\r\n"
    "\tDrive Size : 20002 MBytes\r\n"
    "\tDrive Free : 5000 MBytes\r\n"
    "\tDrive Used : 15002 MBytes";

HardwareInfo hardware() {
  HardwareInfo h;
  h.Printers = arrayOf<PrinterInfo>({laserPrinter(), inkjetPrinter()});
  h.PrintersPresent = true;
  h.Keyboard = keyboard();
  h.Processor = processor();
  h.Memory = memory();
  h.Video = video();
  h.Sound = sound();
  h.Drives = arrayOf<DriveInfo>({drive("C:\\", "Fixed", "SYSTEM"), drive("D:\\", "CD-ROM", ""),
                                 drive("E:\\", "Network", "SHARE"), DriveInfo{}});
  return h;
}

std::string str(const char* a) { return a; }
std::string cat(std::initializer_list<const char*> parts) {
  std::string s;
  for (const char* p : parts) s += p;
  return s;
}

struct HardwareCase {
  const char* name;
  const char* category;
  std::function<void(HardwareInfo&)> change;
  std::string expected;
  long error = 0;  // expected error number, 0 for none
};

void PrintTo(const HardwareCase& c, std::ostream* os) { *os << c.name; }

class HardwareViewTest : public ::testing::TestWithParam<HardwareCase> {};

TEST_P(HardwareViewTest, BuildsText) {
  const HardwareCase& c = GetParam();
  HardwareInfo h = hardware();
  if (c.change) c.change(h);
  const ViewText view = hardwareInfoText(h, c.category);
  EXPECT_EQ(view.text, c.expected);
  if (c.error == 0) {
    EXPECT_FALSE(view.error.has_value()) << view.error->description;
  } else {
    ASSERT_TRUE(view.error.has_value());
    EXPECT_EQ(view.error->number, c.error);
    EXPECT_EQ(view.error->description, "Subscript out of range");
  }
}

const HardwareCase kHardwareCases[] = {
    {"printers_two_blocks_one_empty_line", "Printers Information", nullptr,
     cat({kLaserBlock, "\r\n\r\n", kInkjetBlock})},
    {"printers_one_block_no_line_end", "Printers Information",
     [](HardwareInfo& h) { h.Printers = arrayOf<PrinterInfo>({laserPrinter()}); }, str(kLaserBlock)},
    {"printers_not_present", "Printers Information",
     [](HardwareInfo& h) { h.PrintersPresent = false; }, "No printers attached/connected"},
    {"printers_not_present_array_absent", "Printers Information",
     [](HardwareInfo& h) {
       h.PrintersPresent = false;
       h.Printers.clear();
     },
     "No printers attached/connected"},
    {"printers_present_array_absent_shown_empty", "Printers Information",
     [](HardwareInfo& h) { h.Printers.clear(); }, ""},
    {"printers_array_from_index_one", "Printers Information",
     [](HardwareInfo& h) { h.Printers.lowerBound = 1; }, "", kErrSubscript},
    {"keyboard_leading_tabs", "Keyboard Information", nullptr, str(kKeyboardText)},
    {"processor", "Processor Information", nullptr, str(kProcessorText)},
    {"processor_low_end_true", "Processor Information",
     [](HardwareInfo& h) { h.Processor.LowEndCPU = Flag::fromRaw(1); },
     cat({"CPU Class : \tPentium III\r\n"
          "CPU Speed : \t996 Mhz\r\n"
          "CPU Version : \tModel 8\r\n"
          "CPU Stepping : \tStepping 10\r\n"
          "Number of CPUs : \t2\r\n"
          "Is a low end CPU : \tTrue\r\n"
          "Block Size : \t65536\r\n"
          "Active Processor Mark : \t3\r\n"
          "Min App Address : \t65536\r\n"
          "Max App Address : \t2147418111\r\n"
          "Page Size : \t4096\r\n"})},
    {"memory", "Memory Information", nullptr, str(kMemoryText)},
    {"video", "Video Information", nullptr, str(kVideoText)},
    {"video_no_adapter_no_modes", "Video Information",
     [](HardwareInfo& h) {
       h.Video.VideoCards = arrayOf<Text>({""});
       h.Video.VideoModes = arrayOf<Text>({});
     },
     "Display Adapters : \r\n"
     "\t\r\n"
     "\r\n"
     "Current Resolution : \t1024 * 768\r\n"
     "Current Colour Depth : \t32 bits per pixel  (True Color)\r\n"
     "Current Frequency : \t60 hz  (Hardware default)\r\n"
     "\r\n"
     "Supported Video Modes : \r\n"},
    {"video_modes_absent_shown_empty", "Video Information",
     [](HardwareInfo& h) { h.Video.VideoModes.clear(); }, kVideoNoModes},
    {"video_cards_and_modes_absent_shown_empty", "Video Information",
     [](HardwareInfo& h) {
       h.Video.VideoCards.clear();
       h.Video.VideoModes.clear();
     },
     "Display Adapters : \r\n"
     "\r\n"
     "Current Resolution : \t1024 * 768\r\n"
     "Current Colour Depth : \t32 bits per pixel  (True Color)\r\n"
     "Current Frequency : \t60 hz  (Hardware default)\r\n"
     "\r\n"
     "Supported Video Modes : \r\n"},
    {"video_modes_from_index_one", "Video Information",
     [](HardwareInfo& h) { h.Video.VideoModes.lowerBound = 1; }, "", kErrSubscript},
    {"sound_features_20001_and_all_bits_empty_name_skipped", "Sound Information", nullptr,
     cat({kSoundHead, kMapperLines, kSbLiveLines})},
    {"sound_output_devices_absent", "Sound Information",
     [](HardwareInfo& h) { h.Sound.WaveOutDevices.clear(); }, str(kSoundHead)},
    {"sound_output_devices_empty", "Sound Information",
     [](HardwareInfo& h) { h.Sound.WaveOutDevices = arrayOf<WaveDeviceCaps>({}); },
     str(kSoundHead)},
    {"sound_not_present", "Sound Information",
     [](HardwareInfo& h) { h.Sound = SoundInfo{}; },
     "Sound Present : \tFalse\r\n"
     "DMA : \t\r\n"
     "IO Port : \t\r\n"
     "IRQ : \t\r\n"
     "\r\n"
     "Output Devices : \r\n"},
    {"drives_three_blocks_no_trailing_empty_line", "Drives Information", nullptr,
     cat({kDriveC, "\r\n\r\n", kDriveD, "\r\n\r\n", kDriveE})},
    {"drives_one", "Drives Information",
     [](HardwareInfo& h) { h.Drives = arrayOf<DriveInfo>({drive("C:\\", "Fixed", "SYSTEM"), {}}); },
     str(kDriveC)},
    {"drives_only_closing_element", "Drives Information",
     [](HardwareInfo& h) { h.Drives = arrayOf<DriveInfo>({DriveInfo{}}); }, ""},
    {"drives_absent_shown_empty", "Drives Information", [](HardwareInfo& h) { h.Drives.clear(); },
     ""},
    {"drives_present_but_no_element", "Drives Information",
     [](HardwareInfo& h) { h.Drives = arrayOf<DriveInfo>({}); }, ""},
    {"drives_from_index_one", "Drives Information", [](HardwareInfo& h) { h.Drives.lowerBound = 1; },
     "", kErrSubscript},
    {"category_case_matters", "printers information", nullptr, ""},
    {"category_unknown", "Network Information", nullptr, ""},
    {"category_empty", "", nullptr, ""},
};

INSTANTIATE_TEST_SUITE_P(Views, HardwareViewTest, ::testing::ValuesIn(kHardwareCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HardwareViewTest, CategoriesInListOrder) {
  const std::vector<std::string> expected = {
      "Printers Information", "Keyboard Information", "Processor Information",
      "Memory Information",   "Video Information",    "Sound Information",
      "Drives Information"};
  ASSERT_EQ(kHardwareCategories.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(kHardwareCategories[i], expected[i]) << i;
  }
}

// Code pages: each row gives the two code-page texts of the record and the
// two lines the keyboard view shows for them.
struct CodePageCase {
  const char* name;
  const char* oem;
  const char* ansi;
  const char* expectedLines;
};

void PrintTo(const CodePageCase& c, std::ostream* os) { *os << c.name; }

class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, KeyboardViewShowsCodePageNames) {
  const CodePageCase& c = GetParam();
  KeyboardInfo k = keyboard();
  k.OEMCodePage = c.oem;
  k.ANSICodePage = c.ansi;
  const std::string text = keyboardText(k);
  const std::string head =
      "Model : \tIBM PC/AT 101\r\n"
      "\tKeyboard Type : \t4/0\r\n"
      "\tLayout Name : \tUS\r\n"
      "\tLayout ID : \t00000409\r\n"
      "\tDriver File : \tkbdus.dll\r\n"
      "\tDriver Description : \tStandard 101/102-Key\r\n"
      "\tDriver Provider : \tMicrosoft\r\n"
      "\tDriver Version : \t4.10.0.2222\r\n"
      "\tDriver Date : \t5-11-1998\r\n"
      "\tDriver Time : \t22:22\r\n";
  const std::string tail =
      "\tCaret Width : \t1 pixels\r\n"
      "\tCaret Flash Speed : \t530 ms\r\n"
      "\tNo. Function Keys : \t12\r\n"
      "\tRepeat Delay : \t1\r\n"
      "\tRepeat Speed : \t31\r\n"
      "\t";
  EXPECT_EQ(text, head + c.expectedLines + tail);
}

const CodePageCase kCodePageCases[] = {
    {"us", "437", "1252",
     "\tOEM Code Page : \tMS-DOS United States\r\n"
     "\tANSI Code Page : \tWindows 3.1 Latin 1 (US, Western Europe)\r\n"},
    {"hebrew_in_both_tables", "862", "1255",
     "\tOEM Code Page : \tHebrew\r\n\tANSI Code Page : \tHebrew\r\n"},
    {"arabic_baltic_differ_by_table", "864", "1257",
     "\tOEM Code Page : \tArabic\r\n\tANSI Code Page : \tBaltic\r\n"},
    {"shared_asian_pages", "932", "950",
     "\tOEM Code Page : \tJapan\r\n"
     "\tANSI Code Page : \tChinese (Taiwan; Hong Kong SAR, PRC)\r\n"},
    {"swapped_tables_unknown", "1252", "437",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"blanks_around_number", " 850 ", "\t1250\t",
     "\tOEM Code Page : \tMS-DOS Multilingual (Latin I)\r\n"
     "\tANSI Code Page : \tWindows 3.1 Eastern European\r\n"},
    {"plus_sign", "+437", "+1252",
     "\tOEM Code Page : \tMS-DOS United States\r\n"
     "\tANSI Code Page : \tWindows 3.1 Latin 1 (US, Western Europe)\r\n"},
    {"empty_texts_unknown", "", "",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"not_numbers_unknown", "abc", "Unknown or None",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"fraction_and_trailing_junk_unknown", "437.0", "1252x",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"overflow_unknown", "4294967733", "99999999999999999999",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"signs_only_unknown", "+", "-",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"double_sign_unknown", "+-437", "--1252",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
    {"inner_blank_unknown", "4 37", "12 52",
     "\tOEM Code Page : \tUnknown\r\n\tANSI Code Page : \tUnknown\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Lookups, CodePageTest, ::testing::ValuesIn(kCodePageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Software

WindowsInfo windows() {
  WindowsInfo w;
  w.RegisteredOwner = "Jo Bloggs";
  w.RegisteredOrganization = "Example Pty Ltd";
  w.OperatingSystem = "Windows 98 SE";
  w.Version = "4.10.2222";
  w.Username = "jo";
  w.ProductKey = "ABCDE-FGHIJ";
  w.WindowsID = "12345-OEM-0012345";
  w.Uptime = "0 days, 2 hours, 3 minutes";
  w.CommandInterpreter = "C:\\WINDOWS\\COMMAND.COM";
  w.EnhancementPack = "None";
  w.DebugVersionOfUser = true;
  w.DBCSVersionOfUser = false;
  w.WindowsBoot = 1;
  w.HebrewAndArabic = false;
  w.WindowsForPen = true;
  w.Security = false;
  w.ScreenReviewer = Flag::fromRaw(1);
  w.ShowSounds = true;
  w.DropDownMenusRightAligned = false;
  w.FastBoot = "&H0";
  w.NetworkConnection = true;
  w.BootToGUI = true;
  w.Autoscan = false;
  w.ShowLogo = true;
  w.LoadDriveSpace = false;
  w.LoadDoubleSpace = true;
  w.ProgramsPath = "C:\\Program Files";
  w.Prompt = "$p$g";
  w.PagingDrive = "C:";
  return w;
}

const char* const kWindowsText =
    "Operating System : \r\n\tWindows 98 SE\r\n\r\n"
    "Registered Owner : \r\n\tJo Bloggs\r\n\r\n"
    "Registered Organization : \r\n\tExample Pty Ltd\r\n\r\n"
    "Product Key : \r\n\tABCDE-FGHIJ\r\n\r\n"
    "Windows ID : \r\n\t12345-OEM-0012345\r\n\r\n"
    "Version : \r\n\t4.10.2222\r\n\r\n"
    "Username : \r\n\tjo\r\n\r\n"
    "Uptime : \r\n\t0 days, 2 hours, 3 minutes\r\n\r\n"
    "Command Interpreter : \r\n\tC:\\WINDOWS\\COMMAND.COM\r\n\r\n"
    "Enhancement Pack : \r\n\tNone\r\n\r\n"
    "Windows Boot : \r\n\tWindows had Fail-Safe boot\r\n\r\n"
    "Fast Reboot : \r\n\t&H0\r\n\r\n"
    "Programs Path : \r\n\tC:\\Program Files\r\n\r\n"
    "Prompt : \r\n\t$p$g\r\n\r\n"
    "Paging Drive : \r\n\tC:\r\n\r\n"
    "Debugging version of user.exe : \r\n\tTrue\r\n\r\n"
    "DBCS version of user.exe : \r\n\tFalse\r\n\r\n"
    "Hewbrew & Arabic : \r\n\tFalse\r\n\r\n"
    "Windows for Pen Computing : \r\n\tTrue\r\n\r\n"
    "Security : \r\n\tFalse\r\n\r\n"
    "Screen Reviewer : \r\n\tTrue\r\n\r\n"
    "Drop-Down Menus Right-Aligned : \r\n\tFalse\r\n\r\n"
    "Network Connection Present : \r\n\tTrue\r\n\r\n"
    "Boot to GUI : \r\n\tTrue\r\n\r\n"
    "Auto scan: \r\n\tFalse\r\n\r\n"
    "Show Logo : \r\n\tTrue\r\n\r\n"
    "Load Drive Space : \r\n\tFalse\r\n\r\n"
    "Load Double Space : \r\n\tTrue\r\n\r\n";

ApplicationInfo app(const char* name, const char* publisher, const char* version) {
  ApplicationInfo a;
  a.DisplayName = name;
  a.Publisher = publisher;
  a.DisplayVersion = version;
  a.InstallLocation = "C:\\Program Files\\App";
  a.URLInfoAbout = "http://example.invalid/";
  a.UninstallString = "C:\\WINDOWS\\uninst.exe";
  return a;
}

SoftwareInfo software() {
  SoftwareInfo s;
  s.Windows = windows();
  ApplicationInfo closing = app("", "Leftover Pty", "9.9");  // closing element, other values kept
  s.Applications = arrayOf<ApplicationInfo>({
      app("WinZip 8.1", "", "8.1"),
      app("Acme Tool", "Acme Corp", "1.0"),
      app("Acme Tool", "", "2.0"),
      app("winzip self-extractor", "", "2.2"),
      app(" WinZip 9", "", "9"),
      app("Toshiba", "", "1"),
      app("Toshiba Utilities", "", "1"),
      app("NVIDIA Drivers", "", "56.72"),
      closing,
  });
  return s;
}

std::string appText(const char* name, const char* publisher, const char* version) {
  return std::string("Display Name : \r\n\t") + name + "\r\n\r\n" +
         "Publisher : \r\n\t" + publisher + "\r\n\r\n" +
         "Display Version : \r\n\t" + version + "\r\n\r\n" +
         "Install Location : \r\n\tC:\\Program Files\\App\r\n\r\n"
         "URL Info : \r\n\thttp://example.invalid/\r\n\r\n"
         "Uninstall String : \r\n\tC:\\WINDOWS\\uninst.exe\r\n\r\n";
}

struct SoftwareCase {
  const char* name;
  int selectedIndex;
  const char* selectedText;
  std::function<void(SoftwareInfo&)> change;
  std::string expected;
  long error = 0;
};

void PrintTo(const SoftwareCase& c, std::ostream* os) { *os << c.name; }

class SoftwareViewTest : public ::testing::TestWithParam<SoftwareCase> {};

TEST_P(SoftwareViewTest, BuildsText) {
  const SoftwareCase& c = GetParam();
  SoftwareInfo s = software();
  if (c.change) c.change(s);
  const ViewText view = softwareInfoText(s, c.selectedIndex, c.selectedText);
  EXPECT_EQ(view.text, c.expected);
  if (c.error == 0) {
    EXPECT_FALSE(view.error.has_value());
  } else {
    ASSERT_TRUE(view.error.has_value());
    EXPECT_EQ(view.error->number, c.error);
  }
}

const SoftwareCase kSoftwareCases[] = {
    {"windows_every_label", 0, "Windows 98 SE", nullptr, str(kWindowsText)},
    {"windows_boot_outside_table_is_empty", 0, "Windows 98 SE",
     [](SoftwareInfo& s) { s.Windows.WindowsBoot = 3; },
     [] {
       std::string t = kWindowsText;
       const std::string from = "Windows Boot : \r\n\tWindows had Fail-Safe boot\r\n\r\n";
       t.replace(t.find(from), from.size(), "Windows Boot : \r\n\t\r\n\r\n");
       return t;
     }()},
    {"windows_even_when_applications_absent", 0, "Windows 98 SE",
     [](SoftwareInfo& s) { s.Applications.clear(); }, str(kWindowsText)},
    {"winzip_inferred_publisher", 1, "WinZip 8.1", nullptr,
     appText("WinZip 8.1", "WinZip Computing, Inc*", "8.1")},
    {"winzip_lower_case_inferred", 4, "winzip self-extractor", nullptr,
     appText("winzip self-extractor", "WinZip Computing, Inc*", "2.2")},
    {"winzip_leading_blank_no_publisher", 5, " WinZip 9", nullptr, appText(" WinZip 9", "", "9")},
    {"toshiba_without_blank_no_publisher", 6, "Toshiba", nullptr, appText("Toshiba", "", "1")},
    {"toshiba_with_blank", 7, "Toshiba Utilities", nullptr,
     appText("Toshiba Utilities", "Toshiba*", "1")},
    {"nvidia_registered_sign", 8, "NVIDIA Drivers", nullptr,
     appText("NVIDIA Drivers", "NVIDIA\xAE Corporation*", "56.72")},
    {"shared_display_name_both_blocks_in_order", 2, "Acme Tool", nullptr,
     appText("Acme Tool", "Acme Corp", "1.0") + appText("Acme Tool", "", "2.0")},
    {"shared_name_chosen_by_text_not_index", 3, "Acme Tool", nullptr,
     appText("Acme Tool", "Acme Corp", "1.0") + appText("Acme Tool", "", "2.0")},
    {"name_compared_case_sensitively", 2, "acme tool", nullptr, ""},
    {"no_such_name", 2, "Nothing", nullptr, ""},
    {"applications_absent_empty", 1, "WinZip 8.1", [](SoftwareInfo& s) { s.Applications.clear(); },
     ""},
    {"applications_from_index_one", 1, "WinZip 8.1",
     [](SoftwareInfo& s) { s.Applications.lowerBound = 1; }, "", kErrSubscript},
    {"closing_element_matches_empty_text", -1, "", nullptr, appText("", "Leftover Pty", "9.9")},
};

INSTANTIATE_TEST_SUITE_P(Views, SoftwareViewTest, ::testing::ValuesIn(kSoftwareCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ListCase {
  const char* name;
  std::function<void(SoftwareInfo&)> change;
  std::vector<std::string> expected;
  long error = 0;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class SoftwareListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(SoftwareListTest, ListsOperatingSystemThenApplications) {
  const ListCase& c = GetParam();
  AuditRecord record;
  record.Software = software();
  if (c.change) c.change(record.Software);
  const SoftwareItems list = softwareListItems(record);
  EXPECT_EQ(list.items, c.expected);
  if (c.error == 0) {
    EXPECT_TRUE(list.ok());
  } else {
    ASSERT_FALSE(list.ok());
    EXPECT_EQ(list.error->number, c.error);
  }
}

const ListCase kListCases[] = {
    {"record_order_without_closing_element", nullptr,
     {"Windows 98 SE", "WinZip 8.1", "Acme Tool", "Acme Tool", "winzip self-extractor",
      " WinZip 9", "Toshiba", "Toshiba Utilities", "NVIDIA Drivers"}},
    {"absent_applications_empty_list", [](SoftwareInfo& s) { s.Applications.clear(); },
     {"Windows 98 SE"}},
    {"only_closing_element", [](SoftwareInfo& s) { s.Applications = arrayOf<ApplicationInfo>({{}}); },
     {"Windows 98 SE"}},
    {"no_element", [](SoftwareInfo& s) { s.Applications = arrayOf<ApplicationInfo>({}); },
     {"Windows 98 SE"}},
    {"from_index_one_keeps_first_item",
     [](SoftwareInfo& s) { s.Applications.lowerBound = 1; }, {"Windows 98 SE"}, kErrSubscript},
    {"negative_lower_bound_starts_at_zero",
     [](SoftwareInfo& s) {
       s.Applications = arrayOf<ApplicationInfo>({app("Skipped", "", "1"), app("Kept", "", "1"),
                                                  app("", "", "")},
                                                 -1);
     },
     {"Windows 98 SE", "Kept"}},
};

INSTANTIATE_TEST_SUITE_P(Lists, SoftwareListTest, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Network identity and node tags

struct NetworkCase {
  const char* name;
  NetworkInfo network;
  const char* expected;
};

void PrintTo(const NetworkCase& c, std::ostream* os) { *os << c.name; }

NetworkInfo network(bool isNT, bool isAdmin) {
  NetworkInfo n;
  n.Hostname = "PC-17";
  n.IP = "192.0.2.17";
  n.DomainName = "workgroup";
  n.IsNT = isNT;
  n.IsAdmin = isAdmin;
  n.UserName = "jo";
  return n;
}

class NetworkViewTest : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkViewTest, BuildsText) {
  EXPECT_EQ(networkInfoText(GetParam().network), GetParam().expected);
}

const NetworkCase kNetworkCases[] = {
    {"nt_admin", network(true, true),
     "Hostname : \tPC-17\r\n"
     "IP Address : \t192.0.2.17\r\n"
     "Domain Name : \tworkgroup\r\n"
     "Is NT System : \tTrue\r\n"
     "\tIs Admin : \tTrue\r\n"
     "\tUsername : \tjo\r\n"},
    {"nt_not_admin", network(true, false),
     "Hostname : \tPC-17\r\n"
     "IP Address : \t192.0.2.17\r\n"
     "Domain Name : \tworkgroup\r\n"
     "Is NT System : \tTrue\r\n"
     "\tIs Admin : \tFalse\r\n"
     "\tUsername : \tjo\r\n"},
    {"not_nt_hides_admin_and_user", network(false, true),
     "Hostname : \tPC-17\r\n"
     "IP Address : \t192.0.2.17\r\n"
     "Domain Name : \tworkgroup\r\n"
     "Is NT System : \tFalse\r\n"},
    {"empty_record", NetworkInfo{},
     "Hostname : \t\r\n"
     "IP Address : \t\r\n"
     "Domain Name : \t\r\n"
     "Is NT System : \tFalse\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Views, NetworkViewTest, ::testing::ValuesIn(kNetworkCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct TagCase {
  const char* name;
  const char* tag;
  std::size_t tableSize;
  long expectedIndex;  // -1: no record
  long error;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class NodeTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(NodeTagTest, ReadsTag) {
  const TagCase& c = GetParam();
  const NodeRecord node = recordIndexFromTag(c.tag, c.tableSize);
  if (c.error != 0) {
    ASSERT_FALSE(node.ok());
    EXPECT_EQ(node.error->number, c.error);
    EXPECT_FALSE(node.index.has_value());
    return;
  }
  ASSERT_TRUE(node.ok());
  if (c.expectedIndex < 0) {
    EXPECT_FALSE(node.index.has_value());
  } else {
    ASSERT_TRUE(node.index.has_value());
    EXPECT_EQ(*node.index, static_cast<std::size_t>(c.expectedIndex));
  }
}

const TagCase kTagCases[] = {
    {"placeholder_empty_tag", "", 3, -1, 0},
    {"domain_node", "-1", 3, -1, 0},
    {"first_machine", "0", 3, 0, 0},
    {"last_machine", "2", 3, 2, 0},
    {"blanks_around", " 1 ", 3, 1, 0},
    {"past_table_subscript", "3", 3, -1, kErrSubscript},
    {"empty_table_subscript", "0", 0, -1, kErrSubscript},
    {"negative_subscript", "-2", 3, -1, kErrSubscript},
    {"huge_subscript", "2147483647", 3, -1, kErrSubscript},
    {"overflow_type_mismatch", "2147483648", 3, -1, kErrTypeMismatch},
    {"text_type_mismatch", "root", 3, -1, kErrTypeMismatch},
    {"blank_only_type_mismatch", " ", 3, -1, kErrTypeMismatch},
};

INSTANTIATE_TEST_SUITE_P(Tags, NodeTagTest, ::testing::ValuesIn(kTagCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
