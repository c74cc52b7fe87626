// WaveDevices: the wave input and output devices (waveInGetNumDevs,
// waveInGetDevCapsA and their output twins).
//
// Each direction gives the wave mapper (device -1, the system's default
// device) and the devices 0 .. n-1. `formats` holds the system's WAVE_FORMAT_
// bits (0x1 11 kHz mono 8-bit, 0x2 11 kHz stereo 8-bit, 0x4 11 kHz mono
// 16-bit, ...), `support` the WAVECAPS_ bits of output devices. Texts are
// 8-bit (Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::platform {

struct WaveCaps {
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint32_t driverVersion = 0;  // high byte major, low byte minor
  std::string productName;
  std::uint32_t formats = 0;
  std::uint16_t channels = 0;
  std::uint32_t support = 0;
  friend bool operator==(const WaveCaps&, const WaveCaps&) = default;
};

struct WaveDeviceSet {
  WaveCaps mapper;               // meaningful only when `devices` is not empty
  std::vector<WaveCaps> devices;
  friend bool operator==(const WaveDeviceSet&, const WaveDeviceSet&) = default;
};

inline constexpr std::uint32_t WAVE_FORMAT_1M08 = 0x1;
inline constexpr std::uint32_t WAVE_FORMAT_1S08 = 0x2;
inline constexpr std::uint32_t WAVE_FORMAT_1M16 = 0x4;
inline constexpr std::uint32_t WAVE_FORMAT_1S16 = 0x8;
inline constexpr std::uint32_t WAVE_FORMAT_2M08 = 0x10;
inline constexpr std::uint32_t WAVE_FORMAT_2S08 = 0x20;
inline constexpr std::uint32_t WAVE_FORMAT_2M16 = 0x40;
inline constexpr std::uint32_t WAVE_FORMAT_2S16 = 0x80;
inline constexpr std::uint32_t WAVE_FORMAT_4M08 = 0x100;
inline constexpr std::uint32_t WAVE_FORMAT_4S08 = 0x200;
inline constexpr std::uint32_t WAVE_FORMAT_4M16 = 0x400;
inline constexpr std::uint32_t WAVE_FORMAT_4S16 = 0x800;

inline constexpr std::uint32_t WAVECAPS_PITCH = 0x1;
inline constexpr std::uint32_t WAVECAPS_PLAYBACKRATE = 0x2;
inline constexpr std::uint32_t WAVECAPS_VOLUME = 0x4;
inline constexpr std::uint32_t WAVECAPS_LRVOLUME = 0x8;
inline constexpr std::uint32_t WAVECAPS_SYNC = 0x10;
inline constexpr std::uint32_t WAVECAPS_SAMPLEACCURATE = 0x20;

class WaveDevices {
 public:
  virtual ~WaveDevices() = default;
  virtual WaveDeviceSet inputs() const = 0;
  virtual WaveDeviceSet outputs() const = 0;
};

}  // namespace quorvane::platform
