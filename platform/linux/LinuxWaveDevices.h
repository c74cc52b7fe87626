// Linux backend of WaveDevices, with its pure parsers.
//
// Source: ALSA's /proc/asound. Every PCM device of /proc/asound/pcm with a
// playback stream is an output device, every one with a capture stream an
// input device, in card and device order; the default device (card 0's
// first device of that direction) is also the mapper. Names are
// "<card name>: <PCM name>"; the ids are the card's PCI or USB vendor and
// product ids; the driver version is the ALSA version (major, minor). Sample
// formats, rates and channels are known where the card describes its
// streams (USB audio "streamN" files); elsewhere they stay 0.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WaveDevices.h"

namespace quorvane::platform::linux_backend {

struct AlsaCard {
  int index = -1;
  std::string id;      // "PCH"
  std::string driver;  // "HDA-Intel"
  std::string name;    // "HDA Intel PCH"
  friend bool operator==(const AlsaCard&, const AlsaCard&) = default;
};

struct AlsaPcm {
  int card = -1;
  int device = -1;
  std::string id;
  std::string name;
  int playback = 0;  // substream counts
  int capture = 0;
  friend bool operator==(const AlsaPcm&, const AlsaPcm&) = default;
};

// What a stream description says about one direction.
struct AlsaStreamCaps {
  std::set<std::string> formats;   // "S16_LE", "U8", ...
  std::set<unsigned> rates;        // 44100, ...
  unsigned maxChannels = 0;
  unsigned minChannels = 0;
  friend bool operator==(const AlsaStreamCaps&, const AlsaStreamCaps&) = default;
};

std::vector<AlsaCard> parseAsoundCards(std::string_view text);
std::vector<AlsaPcm> parseAsoundPcm(std::string_view text);
// "Advanced Linux Sound Architecture Driver Version k6.1.0." -> 0x0601.
std::uint32_t parseAsoundVersion(std::string_view text);
// A USB audio "streamN" file: the caps of its "Playback:" or "Capture:" part.
AlsaStreamCaps parseAlsaStream(std::string_view text, bool playback);
// The WAVE_FORMAT_ bits a stream's formats, rates and channels cover.
std::uint32_t waveFormatsOf(const AlsaStreamCaps& caps);

// Reads /proc/asound below `root` and /sys/class/sound for the ids.
WaveDeviceSet readAlsaDevices(const std::string& root, bool playback);

std::unique_ptr<WaveDevices> makeLinuxWaveDevices(std::string root = "/");

}  // namespace quorvane::platform::linux_backend
