#include "agent/collect/modGetInfo.h"

#include <cstdio>

#include "agent/collect/modHDrives.h"
#include "agent/collect/modHKeyboard.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHPrinters.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"
#include "agent/collect/modSNetwork.h"
#include "agent/collect/modSSoftware.h"
#include "agent/collect/modSWindows.h"

namespace quorvane::agent {

namespace {
constexpr std::string_view kModule = "modGetInfo";

// Runs one wrapper: the section is replaced by the collector's result, or
// emptied when the wrapper itself fails.
template <class Section, class Collect>
void fillSection(const CollectContext& ctx, std::string_view procedure, Section& section,
                 Collect&& collect) {
  section = Section();
  runCollector(ctx, kModule, procedure, [&] { section = collect(); });
}
}  // namespace

KeyboardInfo getKeyboardInfo(const CollectContext& ctx) { return getKeyboard(ctx); }
void getPrinterInfo(HardwareInfo& hardware, const CollectContext& ctx) {
  auto s = getPrinters(ctx);
  hardware.Printers = std::move(s.Printers);
  hardware.PrintersPresent = s.PrintersPresent;
}
ProcessorInfo getProcessorInfo(const CollectContext& ctx) { return getProcessor(ctx); }
MemoryInfo getMemoryInfo(const CollectContext& ctx) { return getMemory(ctx); }
VideoInfo getVideoInfo(const CollectContext& ctx) { return getVideo(ctx); }
SoundInfo getSoundInfo(const CollectContext& ctx) { return getSound(ctx); }
Array<DriveInfo> getDrivesInfo(const CollectContext& ctx) { return getDrives(ctx); }
NetworkInfo getNetworkInfo(const CollectContext& ctx) { return getNetwork(ctx); }
WindowsInfo getWindowsInfo(const CollectContext& ctx) { return getWindows(ctx); }
Array<ApplicationInfo> getApplicationsInfo(const CollectContext& ctx) {
  return getApplications(ctx);
}

void getHardware(AuditRecord& record, const CollectContext& ctx) {
  HardwareInfo& h = record.Hardware;
  fillSection(ctx, "getHardware", h.Keyboard, [&] { return getKeyboardInfo(ctx); });
  h.Printers = {};
  h.PrintersPresent = false;
  runCollector(ctx, kModule, "getHardware", [&] { getPrinterInfo(h, ctx); });
  fillSection(ctx, "getHardware", h.Processor, [&] { return getProcessorInfo(ctx); });
  fillSection(ctx, "getHardware", h.Memory, [&] { return getMemoryInfo(ctx); });
  fillSection(ctx, "getHardware", h.Video, [&] { return getVideoInfo(ctx); });
  fillSection(ctx, "getHardware", h.Sound, [&] { return getSoundInfo(ctx); });
  fillSection(ctx, "getHardware", h.Drives, [&] { return getDrivesInfo(ctx); });
  fillSection(ctx, "getHardware", h.Network, [&] { return getNetworkInfo(ctx); });
}

void getSoftware(AuditRecord& record, const CollectContext& ctx) {
  SoftwareInfo& s = record.Software;
  fillSection(ctx, "getSoftware", s.Windows, [&] { return getWindowsInfo(ctx); });
  fillSection(ctx, "getSoftware", s.Applications, [&] { return getApplicationsInfo(ctx); });
}

std::string formatAuditDate(const platform::CalendarTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d/%02d/%d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

std::string getNow(const CollectContext& ctx) {
  if (!ctx.platform.localTime) {
    throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
  }
  return formatAuditDate(
      ctx.platform.localTime->at(ctx.now ? ctx.now() : std::chrono::system_clock::now()));
}

void getInfo(AuditRecord& record, const CollectContext& ctx) {
  runCollector(ctx, kModule, "getInfo", [&] {
    getHardware(record, ctx);
    getSoftware(record, ctx);
  });
  record.AuditDate.clear();
  runCollector(ctx, kModule, "getInfo", [&] { record.AuditDate = getNow(ctx); });
}

}  // namespace quorvane::agent
