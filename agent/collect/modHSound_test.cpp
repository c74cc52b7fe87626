// getSound and its text forms: feature bits, channels, driver versions, the
// BLASTER setting; on the sample machines, small inline machines and this
// machine.
#include "agent/collect/modHSound.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "agent/collect/CollectTesting.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

using namespace quorvane::platform;
using testing::machineFromJson;
using testing::sampleMachine;

WaveDeviceCaps wave(const char* name, const char* ver, const char* ch, const char* mid,
                    const char* pid, std::int32_t features) {
  return WaveDeviceCaps{name, ver, ch, mid, pid, features};
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

TEST(HardwareXP, Sound) {
  auto p = sampleMachine("winxp-pro.json");
  testing::ReportTexts r;
  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "");
  EXPECT_EQ(s.strIRQ, "");
  EXPECT_EQ(s.strDMA, "");
  EXPECT_EQ(s.WaveOutDevices,
            Array<WaveDeviceCaps>({wave("Microsoft Sound Mapper", "5.0", "2 (stereo device)", "1", "2", 0x32FFF),
                                   wave("SoundMAX Digital Audio", "5.1", "2 (stereo device)", "1", "100", 0x32FFF),
                                   wave("Modem #0 Line Playback", "5.1", "1 (mono device)", "1", "100", 0x2)}));
  EXPECT_EQ(s.WaveInDevices,
            Array<WaveDeviceCaps>({wave("Microsoft Sound Mapper", "5.0", "2 (stereo device)", "1", "3", 0xFFF),
                                   wave("SoundMAX Digital Audio", "5.1", "2 (stereo device)", "1", "101", 0xFFF)}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareWin98, Sound) {
  auto p = sampleMachine("win98se.json");
  testing::ReportTexts r;
  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "220");
  EXPECT_EQ(s.strIRQ, "5");
  EXPECT_EQ(s.strDMA, "1");
  ASSERT_EQ(s.WaveOutDevices.size(), 2u);
  EXPECT_EQ(s.WaveOutDevices[0],
            wave("Microsoft Sound Mapper", "4.0", "2 (stereo device)", "1", "2", 0x22FFF));
  EXPECT_EQ(s.WaveOutDevices[1],
            wave("Creative Sound Blaster 16", "4.10", "2 (stereo device)", "2", "104", 0x22FFF));
  ASSERT_EQ(s.WaveInDevices.size(), 2u);
  EXPECT_EQ(s.WaveInDevices[1],
            wave("Creative Sound Blaster 16", "4.10", "2 (stereo device)", "2", "104", 0xFFF));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, EmptyMachineHasNoSound) {
  auto p = machineFromJson("{}");
  testing::ReportTexts r;
  EXPECT_EQ(getSound(r.on(*p)), SoundInfo());
  EXPECT_TRUE(r.texts.empty());
}

TEST(HardwareEdge, SoundNeedsAnInputDevice) {
  auto p = machineFromJson(R"({"environment": {"BLASTER": "A220 I5 D1"},
    "waveDevices": {"out": {"mapper": {"productName": "Mapper", "channels": 2},
                            "devices": [{"productName": "Speaker", "channels": 2}]}}})");
  testing::ReportTexts r;
  SoundInfo s = getSound(r.on(*p));
  EXPECT_FALSE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "");
  EXPECT_FALSE(s.WaveOutDevices.present);
  EXPECT_FALSE(s.WaveInDevices.present);
}

TEST(HardwareEdge, OneWaveDeviceGivesTwoElementsMapperFirst) {
  auto p = machineFromJson(R"({"waveDevices": {
    "in": {"mapper": {"productName": "Microsoft Sound Mapper", "formats": "0x4", "channels": 1},
           "devices": [{"productName": "Mic", "formats": "0x4", "channels": 1, "driverVersion": "0x0102"}]},
    "out": {"mapper": {"productName": "Microsoft Sound Mapper", "channels": 2, "support": "0x8"},
            "devices": [{"productName": "Line", "channels": 2, "support": "0x8"}]}}})");
  testing::ReportTexts r;
  SoundInfo s = getSound(r.on(*p));
  ASSERT_EQ(s.WaveInDevices.size(), 2u);
  EXPECT_EQ(s.WaveInDevices[0].DeviceName, "Microsoft Sound Mapper");
  EXPECT_EQ(s.WaveInDevices[1], wave("Mic", "1.2", "1 (mono device)", "0", "0", 0x2));
  ASSERT_EQ(s.WaveOutDevices.size(), 2u);
  EXPECT_EQ(s.WaveOutDevices[1].Features, 0x20000);
}

TEST(ThisMachine, SoundSaysWhatIsThere) {
  auto p = platform::makeNativePlatform();
  testing::ReportTexts r;
  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  std::ifstream pcm("/proc/asound/pcm");
  if (!pcm) {
    EXPECT_FALSE(s.boolPresent.isTrue());  // no ALSA: no wave devices
    EXPECT_FALSE(s.WaveInDevices.present);
  }
  std::cout << "sound present " << (s.boolPresent.isTrue() ? "yes" : "no") << "\n";
}

}  // namespace
}  // namespace quorvane::agent
