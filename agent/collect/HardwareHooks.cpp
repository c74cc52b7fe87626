// The hardware sections from the hardware collectors (modH*). Their error
// reports arrive as text and are passed on with their parts.
#include "agent/collect/HardwareHooks.h"

#include "agent/collect/modHDrives.h"
#include "agent/collect/modHKeyboard.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHPrinters.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"

namespace quorvane::agent {

namespace {
ErrorShow showFor(const CollectContext& ctx) {
  return [&ctx](std::string_view text) {
    if (ctx.report) ctx.report(parseReportText(text));
  };
}
}  // namespace

KeyboardInfo collectKeyboard(const CollectContext& ctx) {
  return getKeyboard(ctx.platform, showFor(ctx));
}
PrintersSection collectPrinters(const CollectContext& ctx) {
  auto r = getPrinters(ctx.platform, showFor(ctx));
  return {std::move(r.Printers), r.PrintersPresent};
}
ProcessorInfo collectProcessor(const CollectContext& ctx) {
  return getProcessor(ctx.platform, showFor(ctx));
}
MemoryInfo collectMemory(const CollectContext& ctx) { return getMemory(ctx.platform, showFor(ctx)); }
VideoInfo collectVideo(const CollectContext& ctx) { return getVideo(ctx.platform, showFor(ctx)); }
SoundInfo collectSound(const CollectContext& ctx) { return getSound(ctx.platform, showFor(ctx)); }
Array<DriveInfo> collectDrives(const CollectContext& ctx) {
  return getDrives(ctx.platform, showFor(ctx));
}

}  // namespace quorvane::agent
