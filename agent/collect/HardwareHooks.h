// HardwareHooks: the hardware collectors as the audit assembly calls them.
//
// Two implementations, chosen by the build: HardwareHooksPending.cpp (every
// section empty, used while the hardware collectors are not in the build)
// and HardwareHooks.cpp (calls modHKeyboard.getKeyboard, modHPrinters
// .getPrinters, ...), built when agent/collect/hardware.cmake lists the
// hardware collectors.
#pragma once

#include "agent/collect/CollectContext.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

struct PrintersSection {
  Array<PrinterInfo> Printers;
  Flag PrintersPresent;
};

KeyboardInfo collectKeyboard(const CollectContext& ctx);
PrintersSection collectPrinters(const CollectContext& ctx);
ProcessorInfo collectProcessor(const CollectContext& ctx);
MemoryInfo collectMemory(const CollectContext& ctx);
VideoInfo collectVideo(const CollectContext& ctx);
SoundInfo collectSound(const CollectContext& ctx);
Array<DriveInfo> collectDrives(const CollectContext& ctx);

}  // namespace quorvane::agent
