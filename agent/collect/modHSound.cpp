#include "agent/collect/modHSound.h"

namespace quorvane::agent {
namespace {

std::string valueAfter(std::string_view text, char letter) {
  auto at = text.find(letter);
  if (at == std::string_view::npos) return {};
  std::string_view rest = text.substr(at + 1);
  return std::string(rest.substr(0, rest.find(' ')));
}

}  // namespace

BlasterSetting parseBlaster(std::string_view value) {
  BlasterSetting b;
  if (value.empty()) return b;
  b.ioPort = valueAfter(value, 'A');
  b.irq = valueAfter(value, 'I');
  b.dma = valueAfter(value, 'D');
  return b;
}

std::int32_t featuresOf(std::uint32_t formats, std::uint32_t support, std::uint16_t channels,
                        bool output) {
  using namespace platform;
  struct Map {
    std::uint32_t from;
    std::int32_t to;
  };
  static constexpr Map kFormats[] = {
      {WAVE_FORMAT_1M08, 0x1},   {WAVE_FORMAT_1M16, 0x2},   {WAVE_FORMAT_1S08, 0x4},
      {WAVE_FORMAT_1S16, 0x8},   {WAVE_FORMAT_2M08, 0x10},  {WAVE_FORMAT_2M16, 0x20},
      {WAVE_FORMAT_2S08, 0x40},  {WAVE_FORMAT_2S16, 0x80},  {WAVE_FORMAT_4M08, 0x100},
      {WAVE_FORMAT_4M16, 0x200}, {WAVE_FORMAT_4S08, 0x400}, {WAVE_FORMAT_4S16, 0x800}};
  static constexpr Map kSupport[] = {{WAVECAPS_PITCH, 0x1000},
                                     {WAVECAPS_VOLUME, 0x2000},
                                     {WAVECAPS_SYNC, 0x4000},
                                     {WAVECAPS_PLAYBACKRATE, 0x8000},
                                     {WAVECAPS_SAMPLEACCURATE, 0x10000}};
  std::int32_t f = 0;
  for (const auto& m : kFormats) {
    if (formats & m.from) f |= m.to;
  }
  if (output) {
    for (const auto& m : kSupport) {
      if (support & m.from) f |= m.to;
    }
    if ((support & WAVECAPS_LRVOLUME) && channels == 2) f |= 0x20000;
  }
  return f;
}

std::string audioChannelsText(std::uint16_t channels) {
  std::string s = std::to_string(channels);
  if (channels == 1) s += " (mono device)";
  else if (channels == 2) s += " (stereo device)";
  return s;
}

std::string waveDriverVersionText(std::uint32_t version) {
  return std::to_string(hiByte(version)) + "." + std::to_string(loByte(version));
}

WaveDeviceCaps waveDeviceCapsOf(const platform::WaveCaps& c, bool output) {
  WaveDeviceCaps w;
  w.DeviceName = c.productName.substr(0, c.productName.find('\0'));
  w.DriverVersion = waveDriverVersionText(c.driverVersion);
  w.AudioChannels = audioChannelsText(c.channels);
  w.ManufacturerID = std::to_string(c.manufacturerId);
  w.ProductID = std::to_string(c.productId);
  w.Features = featuresOf(c.formats, c.support, c.channels, output);
  return w;
}

SoundInfo getSound(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  SoundInfo s;
  runCollector(ctx, "modHSound", "getSound", [&] {
    if (!p.wave) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    platform::WaveDeviceSet inputs = p.wave->inputs();
    if (inputs.devices.empty()) return;
    s.boolPresent = true;
    std::string blaster;
    if (p.environment) {
      blaster = p.environment->get("BLASTER").value_or(std::string());
      if (blaster.size() >= 145) blaster.clear();  // does not fit the 145-character buffer
    }
    BlasterSetting b = parseBlaster(blaster);
    s.strIOPort = b.ioPort;
    s.strIRQ = b.irq;
    s.strDMA = b.dma;
    platform::WaveDeviceSet outputs = p.wave->outputs();
    s.WaveOutDevices.push_back(waveDeviceCapsOf(outputs.mapper, true));
    for (const auto& c : outputs.devices) s.WaveOutDevices.push_back(waveDeviceCapsOf(c, true));
    s.WaveInDevices.push_back(waveDeviceCapsOf(inputs.mapper, false));
    for (const auto& c : inputs.devices) s.WaveInDevices.push_back(waveDeviceCapsOf(c, false));
  }, OtherFailures::kInvalidCall);
  return s;
}

}  // namespace quorvane::agent
