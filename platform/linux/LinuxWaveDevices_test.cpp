// The wave devices of the Linux backend: ALSA cards, PCMs, stream
// descriptions and the devices of the sample machine root.
#include "platform/linux/LinuxWaveDevices.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxAlsa, CardsPcmsAndVersion) {
  auto cards = parseAsoundCards(*readWholeFile(kRoot + "/proc/asound/cards"));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0], (AlsaCard{0, "PCH", "HDA-Intel", "HDA Intel PCH"}));
  EXPECT_EQ(cards[1], (AlsaCard{1, "Device", "USB-Audio", "USB Audio Device"}));
  auto pcms = parseAsoundPcm(*readWholeFile(kRoot + "/proc/asound/pcm"));
  ASSERT_EQ(pcms.size(), 4u);
  EXPECT_EQ(pcms[0], (AlsaPcm{0, 0, "ALC892 Analog", "ALC892 Analog", 1, 1}));
  EXPECT_EQ(pcms[1], (AlsaPcm{0, 1, "ALC892 Digital", "ALC892 Digital", 1, 0}));
  EXPECT_EQ(pcms[2], (AlsaPcm{0, 2, "ALC892 Alt Analog", "ALC892 Alt Analog", 0, 2}));
  EXPECT_EQ(parseAsoundVersion("Advanced Linux Sound Architecture Driver Version k6.1.0.\n"), 0x0601u);
  EXPECT_EQ(parseAsoundVersion("Advanced Linux Sound Architecture Driver Version 1.0.25.\n"), 0x0100u);
  EXPECT_EQ(parseAsoundVersion("nonsense"), 0u);
  EXPECT_TRUE(parseAsoundCards("--- no soundcards ---\n").empty());
  EXPECT_TRUE(parseAsoundPcm("xx-yy: a : b\n00-00\n").empty());
}

TEST(LinuxAlsa, StreamDescriptionsToFormats) {
  std::string stream = *readWholeFile(kRoot + "/proc/asound/card1/stream0");
  AlsaStreamCaps play = parseAlsaStream(stream, true);
  EXPECT_EQ(play.formats, (std::set<std::string>{"S16_LE"}));
  EXPECT_EQ(play.rates, (std::set<unsigned>{44100, 48000}));
  EXPECT_EQ(play.maxChannels, 2u);
  EXPECT_EQ(waveFormatsOf(play), WAVE_FORMAT_4S16);
  AlsaStreamCaps rec = parseAlsaStream(stream, false);
  EXPECT_EQ(rec.formats, (std::set<std::string>{"S16_LE", "U8"}));
  EXPECT_EQ(rec.rates, (std::set<unsigned>{11025, 22050, 44100}));  // from the continuous range
  EXPECT_EQ(waveFormatsOf(rec), WAVE_FORMAT_1M08 | WAVE_FORMAT_1M16 | WAVE_FORMAT_2M08 |
                                    WAVE_FORMAT_2M16 | WAVE_FORMAT_4M08 | WAVE_FORMAT_4M16);
  EXPECT_EQ(waveFormatsOf(AlsaStreamCaps{}), 0u);
}

TEST(LinuxAlsa, DevicesOfTheSampleMachine) {
  auto out = readAlsaDevices(kRoot, true);
  ASSERT_EQ(out.devices.size(), 3u);
  EXPECT_EQ(out.devices[0].productName, "HDA Intel PCH: ALC892 Analog");
  EXPECT_EQ(out.devices[1].productName, "HDA Intel PCH: ALC892 Digital");
  EXPECT_EQ(out.devices[2].productName, "USB Audio Device: USB Audio");
  EXPECT_EQ(out.devices[0].manufacturerId, 0x8086);
  EXPECT_EQ(out.devices[0].productId, 0xA170);
  EXPECT_EQ(out.devices[0].driverVersion, 0x0601u);
  EXPECT_EQ(out.devices[0].channels, 0);  // the HDA card does not describe its streams
  EXPECT_EQ(out.devices[2].manufacturerId, 0x0D8C);
  EXPECT_EQ(out.devices[2].productId, 0x000C);
  EXPECT_EQ(out.devices[2].channels, 2);
  EXPECT_EQ(out.devices[2].formats, WAVE_FORMAT_4S16);
  EXPECT_EQ(out.mapper, out.devices[0]);  // the default device
  auto in = readAlsaDevices(kRoot, false);
  ASSERT_EQ(in.devices.size(), 3u);
  EXPECT_EQ(in.devices[1].productName, "HDA Intel PCH: ALC892 Alt Analog");
  EXPECT_EQ(in.devices[2].channels, 1);
  auto none = readAlsaDevices(kDir + "no-such-root", true);
  EXPECT_TRUE(none.devices.empty());
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
