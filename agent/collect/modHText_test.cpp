// Text forms of the hardware collectors, one named row per case.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "agent/collect/modHCommon.h"
#include "agent/collect/modHDrives.h"
#include "agent/collect/modHKeyboard.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"

namespace quorvane::agent {
namespace {

using namespace quorvane::platform;

TEST(VideoText, DepthNamesWithAndWithoutBrackets) {
  struct Row { int bits; const char* bracketed; const char* bare; };
  const Row rows[] = {{1, "", ""},
                      {4, "(16 Color)", "16 Color"},
                      {8, "(256 Color)", "256 Color"},
                      {15, "", ""},
                      {16, "(High Color)", "High Color"},
                      {24, "(True Color)", "True Color"},
                      {32, "(True Color)", "True Color"},
                      {64, "", ""}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.bits);
    EXPECT_EQ(depthName(r.bits, true), r.bracketed);
    EXPECT_EQ(depthName(r.bits, false), r.bare);
  }
}

TEST(VideoText, CurrentModeTexts) {
  EXPECT_EQ(resolutionText(1024, 768), "1024 * 768");
  EXPECT_EQ(colourDepthText(32), "32 bits per pixel  (True Color)");
  EXPECT_EQ(colourDepthText(15), "15 bits per pixel  ");  // unknown depth: the two blanks stay
  EXPECT_EQ(colourDepthText(0), "0 bits per pixel  ");
  struct Row { int rate; const char* text; };
  const Row rows[] = {{0, "0 hz  (Hardware default)"},
                      {1, "1 hz  (Hardware default)"},
                      {2, "2 hz  (User-selected)"},
                      {60, "60 hz  (User-selected)"}};
  for (const auto& r : rows) EXPECT_EQ(frequencyText(r.rate), r.text) << r.rate;
}

TEST(VideoText, ModeText) {
  EXPECT_EQ(videoModeText(800, 600, 16), "800*600 16bit colour (High Color)");
  EXPECT_EQ(videoModeText(640, 480, 4), "640*480 4bit colour (16 Color)");
  EXPECT_EQ(videoModeText(1280, 1024, 12), "1280*1024 12bit colour ()");
}

TEST(VideoText, CardFilterTakesEachDescriptionOnce) {
  VideoCardFilter f;
  EXPECT_TRUE(f.take("RADEON 9600 SERIES"));
  EXPECT_FALSE(f.take("RADEON 9600 SERIES"));
  EXPECT_TRUE(f.take("RADEON 9600 SERIES Secondary"));
  EXPECT_TRUE(f.take("radeon 9600 series"));  // the system's texts compare exactly
  EXPECT_TRUE(f.take(""));
  EXPECT_FALSE(f.take(""));
  VideoCardFilter next;  // a new audit lists it again
  EXPECT_TRUE(next.take("RADEON 9600 SERIES"));
}

TEST(SoundText, FeatureBitsFromFormats) {
  struct Row { const char* name; std::uint32_t formats, support; std::uint16_t channels; bool output; std::int32_t features; };
  const Row rows[] = {
      {"11kHz 16-bit mono only", WAVE_FORMAT_1M16, 0, 1, false, 0x2},
      {"11kHz 8-bit stereo", WAVE_FORMAT_1S08, 0, 2, false, 0x4},
      {"22kHz mono 16-bit", WAVE_FORMAT_2M16, 0, 1, false, 0x20},
      {"22kHz stereo 8-bit", WAVE_FORMAT_2S08, 0, 2, false, 0x40},
      {"44kHz mono 16-bit", WAVE_FORMAT_4M16, 0, 1, false, 0x200},
      {"44kHz stereo 8-bit", WAVE_FORMAT_4S08, 0, 2, false, 0x400},
      {"all twelve formats", 0xFFF, 0, 2, false, 0xFFF},
      {"support ignored for input", 0, 0x3F, 2, false, 0},
      {"pitch", 0, WAVECAPS_PITCH, 2, true, 0x1000},
      {"volume", 0, WAVECAPS_VOLUME, 2, true, 0x2000},
      {"sync", 0, WAVECAPS_SYNC, 2, true, 0x4000},
      {"playback rate", 0, WAVECAPS_PLAYBACKRATE, 2, true, 0x8000},
      {"sample accurate", 0, WAVECAPS_SAMPLEACCURATE, 2, true, 0x10000},
      {"lr volume stereo", 0, WAVECAPS_LRVOLUME, 2, true, 0x20000},
      {"lr volume mono dropped", 0, WAVECAPS_LRVOLUME, 1, true, 0},
      {"lr volume four channels dropped", 0, WAVECAPS_LRVOLUME, 4, true, 0},
      {"unknown format bits ignored", 0xF000, 0xFFC0, 2, true, 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(featuresOf(r.formats, r.support, r.channels, r.output), r.features) << r.name;
  }
}

TEST(SoundText, ChannelsVersionAndBlaster) {
  EXPECT_EQ(audioChannelsText(1), "1 (mono device)");
  EXPECT_EQ(audioChannelsText(2), "2 (stereo device)");
  EXPECT_EQ(audioChannelsText(6), "6");
  EXPECT_EQ(audioChannelsText(0), "0");
  EXPECT_EQ(waveDriverVersionText(0x040A), "4.10");
  EXPECT_EQ(waveDriverVersionText(0x0500), "5.0");
  EXPECT_EQ(waveDriverVersionText(0x12340501), "5.1");  // only the low word counts

  struct Row { const char* value; const char* io; const char* irq; const char* dma; };
  const Row rows[] = {{"A220 I5 D1 H5 P330 T6", "220", "5", "1"},
                      {"A240 I7 D3", "240", "7", "3"},  // the last item runs to the end
                      {"", "", "", ""},
                      {"T6", "", "", ""},
                      {"I10 A220", "220", "10", ""}};
  for (const auto& r : rows) {
    BlasterSetting b = parseBlaster(r.value);
    EXPECT_EQ(b.ioPort, r.io) << r.value;
    EXPECT_EQ(b.irq, r.irq) << r.value;
    EXPECT_EQ(b.dma, r.dma) << r.value;
  }
}

TEST(DriveText, SerialsTypesAndByteCounts) {
  EXPECT_EQ(driveSerialText(0x0ABC1234u), "0ABC-1234");
  EXPECT_EQ(driveSerialText(0u), "0000-0000");
  EXPECT_EQ(driveSerialText(0xFFFFFFFFu), "FFFF-FFFF");
  EXPECT_EQ(driveSerialText(std::nullopt), "0000-0000");
  const std::pair<std::uint32_t, const char*> types[] = {
      {0, "Unknown type"}, {1, "Unknown type"},  {2, "Removable drive"}, {3, "Fixed drive"},
      {4, "Network drive"}, {5, "CD-ROM drive"}, {6, "RAM-disk"},        {7, "Unknown type"}};
  for (const auto& [code, text] : types) EXPECT_EQ(driveTypeText(code), text) << code;
  const std::pair<std::int64_t, const char*> counts[] = {
      {0, "0 Bytes"},
      {999, "999 Bytes"},
      {1000, "1,000 Bytes"},
      {20003794944, "20,003,794,944 Bytes"},
      {-1536, "-1,536 Bytes"},
      {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807 Bytes"},
      {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808 Bytes"}};
  for (const auto& [n, text] : counts) EXPECT_EQ(byteCountText(n), text) << n;
}

TEST(DriveText, SpaceFromEitherQuery) {
  DriveFacts wide;
  wide.root = "C:\\";
  wide.driveType = DRIVE_FIXED;
  wide.space = DiskSpace{1000000, 600000, 500000};
  DriveInfo d = driveInfoOf(wide);
  EXPECT_EQ(d.DriveSize, "1,000,000 Bytes");
  EXPECT_EQ(d.DriveFree, "600,000 Bytes");
  EXPECT_EQ(d.DriveUsed, "500,000 Bytes");  // size - available to the caller
  EXPECT_EQ(d.DriveLabel, "NoName");
  EXPECT_EQ(d.DriveSort, "Fixed drive");

  DriveFacts old;
  old.root = "C:\\";
  old.driveType = DRIVE_FIXED;
  old.hasWideSpaceQuery = false;
  old.clusterSpace = ClusterSpace{64, 512, 10000, 131072};  // 4 GiB: beyond 32 bits
  d = driveInfoOf(old);
  EXPECT_EQ(d.DriveSize, "4,294,967,296 Bytes");
  EXPECT_EQ(d.DriveFree, "327,680,000 Bytes");
  EXPECT_EQ(d.DriveUsed, "3,967,287,296 Bytes");

  DriveFacts unreadable;
  unreadable.root = "A:\\";
  unreadable.driveType = DRIVE_REMOVABLE;
  unreadable.volumeLabel = std::string("LABEL\0junk", 10);
  d = driveInfoOf(unreadable);
  EXPECT_EQ(d.DriveSize, "0 Bytes");
  EXPECT_EQ(d.DriveFree, "0 Bytes");
  EXPECT_EQ(d.DriveUsed, "0 Bytes");
  EXPECT_EQ(d.DriveLabel, "LABEL");
  EXPECT_EQ(d.DriveSerial, "0000-0000");
}

TEST(MemoryText, RealNumbersAndRounding) {
  struct Row { double v; const char* text; };
  const Row rows[] = {{0, "0"},           {1, "1"},           {523760, "523760"},
                      {205078.125, "205078.125"}, {0.0009765625, "0.0009765625"},
                      {4194303.9990234375, "4194303.9990234375"}, {1e20, "100000000000000000000"}};
  for (const auto& r : rows) EXPECT_EQ(realText(r.v), r.text) << r.v;
  struct Half { double v; double rounded; };
  const Half halves[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2},
                         {2.4999, 2}, {2.5001, 3}, {1024.5, 1024}, {1025.5, 1026}};
  for (const auto& h : halves) EXPECT_EQ(roundHalfEven(h.v), h.rounded) << h.v;
}

TEST(MemoryText, RecordFromStatus) {
  MemoryStatusFacts m;
  m.memoryLoad = 45;
  m.totalPhys = 1024 * 1024;                 // 1024 K
  m.availPhys = 512 * 1024 + 512;            // 512.5 K
  m.totalPageFile = 3 * 1024 * 1024;         // 3072 K
  m.availPageFile = 1024 * 1024 + 1536;      // 1025.5 K -> used 2046.5 -> 2046 (even)
  MemoryInfo info = memoryInfoOf(m);
  EXPECT_EQ(info.TotalPhysicalMemory, "1024 KBytes");
  EXPECT_EQ(info.TotalAvailablePhysicalMemory, "512.5 KBytes");
  EXPECT_EQ(info.MaxSwapFile, "3072 KBytes");
  EXPECT_EQ(info.CurrentSwapFile, "2046 KBytes");
  EXPECT_EQ(info.FreeSwapFile, "1025.5 KBytes");
  EXPECT_EQ(info.TotalMemoryAvailable, "2 MBytes");  // (1025.5 + 512.5) / 1024 = 1.5019...
  EXPECT_EQ(info.MemoryLoad, "45 %");

  // (1024 + 512) K / 1024 = 1.5 MB exactly: the half goes to the even 2; 2.5 MB to 2.
  m.availPageFile = 1024 * 1024;
  m.availPhys = 512 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "2 MBytes");
  m.availPageFile = 2048 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "2 MBytes");
  m.availPageFile = 3072 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "4 MBytes");  // 3.5 -> 4
}

TEST(ProcessorText, AddressesAtTheSystemsWidth) {
  struct Row { const char* name; std::uint64_t address; int bits; const char* text; };
  const Row rows[] = {
      {"32-bit low", 0x00010000, 32, "65536"},
      {"32-bit below 2 GiB", 0x7FFEFFFF, 32, "2147418111"},
      {"32-bit 3 GiB user space reads negative", 0xBFFEFFFF, 32, "-1073807361"},
      {"32-bit top", 0xFFFFFFFF, 32, "-1"},
      {"64-bit full value", 0x7FFFFFFEFFFFull, 64, "140737488289791"},
      {"64-bit Linux user top", 0x7FFFFFFFEFFFull, 64, "140737488351231"},
      {"64-bit above 2^63", 0xFFFFFFFFFFFFFFFFull, 64, "18446744073709551615"},
  };
  for (const auto& r : rows) EXPECT_EQ(addressText(r.address, r.bits), r.text) << r.name;
}

TEST(ProcessorText, SteppingAndSpeed) {
  EXPECT_EQ(steppingText(0x0803), "8 , 3");
  EXPECT_EQ(steppingText(0xA701), "167 , 1");
  EXPECT_EQ(steppingText(0), "0 , 0");
  struct Row { const char* value; const char* text; };
  const Row rows[] = {{"", "0"},        {"&HBB0", "2992"}, {"&HA28", "2600"}, {"2600", "2600"},
                      {" 733 ", "733"}, {"&H0", "0"},      {"abc", "0"},      {"&HFFFFFFFF", "4294967295"}};
  for (const auto& r : rows) EXPECT_EQ(cpuSpeedText(r.value), r.text) << r.value;
}

TEST(KeyboardText, CaretAndDriverForms) {
  EXPECT_EQ(caretFlashText(530), "530 ms");
  EXPECT_EQ(caretWidthText(1), "1 pixels");
  EXPECT_EQ(caretWidthText(std::nullopt), "Not Supported");
}

TEST(NumberOfText, ReadsLikeTheSystemsNumberConversion) {
  struct Row { const char* text; std::int64_t value; };
  const Row rows[] = {{"&H7CD", 1997}, {"&h7cd", 1997}, {"42", 42},   {"  42abc", 42},
                      {"-7", -7},      {"", 0},         {"&H", 0},    {"x9", 0}};
  for (const auto& r : rows) EXPECT_EQ(numberOfText(r.text), r.value) << r.text;
}

}  // namespace
}  // namespace quorvane::agent
