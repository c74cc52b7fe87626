// modHSound: the wave devices of the machine (getSound).
//
// Without a wave input device the record says only boolPresent false.
// Otherwise each direction lists the wave mapper as element 0 and device k-1
// as element k. The BLASTER setting gives the I/O port (after "A"), the
// interrupt (after "I") and the DMA channel (after "D"), each up to the next
// blank or the end of the value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"
#include "platform/WaveDevices.h"

namespace quorvane::agent {

struct BlasterSetting {
  std::string ioPort, irq, dma;
};
BlasterSetting parseBlaster(std::string_view value);

// The record's capability bits from the system's format and support bits;
// support bits count only for output devices, separate left/right volume
// only for two-channel ones.
std::int32_t featuresOf(std::uint32_t formats, std::uint32_t support, std::uint16_t channels,
                        bool output);
std::string audioChannelsText(std::uint16_t channels);  // "2 (stereo device)"
std::string waveDriverVersionText(std::uint32_t version);  // "4.10"
WaveDeviceCaps waveDeviceCapsOf(const platform::WaveCaps& caps, bool output);

SoundInfo getSound(const CollectContext& ctx);

}  // namespace quorvane::agent
