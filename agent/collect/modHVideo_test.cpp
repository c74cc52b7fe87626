// getVideo and its text forms: depth names, the current mode, the mode list,
// the adapter filter; on the sample machines, small inline machines and
// this machine.
#include "agent/collect/modHVideo.h"

#include <gtest/gtest.h>

#include <iostream>

#include "agent/collect/CollectTesting.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;
using testing::sampleMachine;

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

TEST(HardwareXP, Video) {
  auto p = sampleMachine("winxp-pro.json");
  testing::ReportTexts r;
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({"RADEON 9600 SERIES", "NetMeeting driver"}));
  EXPECT_EQ(v.currResolution, "1024 * 768");
  EXPECT_EQ(v.currColourDepth, "32 bits per pixel  (True Color)");
  EXPECT_EQ(v.currFrequency, "60 hz  (User-selected)");
  EXPECT_EQ(v.VideoModes, Array<Text>({"640*480 4bit colour (16 Color)", "640*480 8bit colour (256 Color)",
                                       "800*600 16bit colour (High Color)", "800*600 16bit colour (High Color)",
                                       "1024*768 24bit colour (True Color)", "1024*768 32bit colour (True Color)",
                                       "1280*1024 32bit colour (True Color)"}));
  // A second audit of the same run lists the adapter again.
  EXPECT_EQ(getVideo(r.on(*p)).VideoCards, v.VideoCards);
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareWin98, Video) {
  auto p = sampleMachine("win98se.json");
  testing::ReportTexts r;
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({"S3 Inc. Trio64V2/DX/GX PCI"}));
  EXPECT_EQ(v.currResolution, "800 * 600");
  EXPECT_EQ(v.currColourDepth, "16 bits per pixel  (High Color)");
  EXPECT_EQ(v.currFrequency, "0 hz  (Hardware default)");
  EXPECT_EQ(v.VideoModes.size(), 7u);
  EXPECT_EQ(v.VideoModes[2], "800*600 8bit colour (256 Color)");
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, EmptyMachineHasOneEmptyCardAndNoModes) {
  auto p = machineFromJson("{}");
  testing::ReportTexts r;
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({""}));
  EXPECT_FALSE(v.VideoModes.present);
  EXPECT_EQ(v.currResolution, "0 * 0");
  EXPECT_EQ(v.currColourDepth, "0 bits per pixel  ");
  EXPECT_EQ(v.currFrequency, "0 hz  (Hardware default)");
  EXPECT_TRUE(r.texts.empty());
}

TEST(HardwareEdge, Windows95ReadsAdaptersFromTheDisplayClass) {
  auto p = machineFromJson(R"({
    "version": {"majorVersion": 4, "minorVersion": 0, "buildNumber": "0x040003B6", "platformId": 1, "csdVersion": " C "},
    "registry": {
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0000": {"DriverDesc": {"type": "REG_SZ", "value": "S3 Trio64"}},
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0001": {"DriverDesc": {"type": "REG_SZ", "value": "S3 Trio64"}},
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0003": {"DriverDesc": {"type": "REG_SZ", "value": "After the gap"}}
    },
    "display": {"devices": [{"deviceString": "Not asked on Windows 95"}]}})");
  testing::ReportTexts r;
  // The class keys are taken as they stand (no duplicate filter), up to the first gap.
  EXPECT_EQ(getVideo(r.on(*p)).VideoCards, Array<Text>({"S3 Trio64", "S3 Trio64"}));
}

TEST(ThisMachine, VideoSaysWhatIsThere) {
  auto p = platform::makeNativePlatform();
  testing::ReportTexts r;
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  ASSERT_GE(v.VideoCards.size(), 1u);
  std::cout << "video: " << v.currResolution << ", " << v.currColourDepth << ", cards "
            << v.VideoCards.size() << " (first \"" << v.VideoCards[0] << "\"), modes " << v.VideoModes.size()
            << "\n";
}

}  // namespace
}  // namespace quorvane::agent
