// The hardware sections while the hardware collectors are not in the build:
// each is returned empty (nothing is collected, nothing is made up).
#include "agent/collect/HardwareHooks.h"

namespace quorvane::agent {

KeyboardInfo collectKeyboard(const CollectContext&) { return {}; }
PrintersSection collectPrinters(const CollectContext&) { return {}; }
ProcessorInfo collectProcessor(const CollectContext&) { return {}; }
MemoryInfo collectMemory(const CollectContext&) { return {}; }
VideoInfo collectVideo(const CollectContext&) { return {}; }
SoundInfo collectSound(const CollectContext&) { return {}; }
Array<DriveInfo> collectDrives(const CollectContext&) { return {}; }

}  // namespace quorvane::agent
