#include "agent/collect/modHPrinters.h"

namespace quorvane::agent {

PrinterInfo printerInfoOf(const platform::PrinterSettings& s) {
  PrinterInfo info;
  info.DisplayName = s.deviceName;
  info.DriverName = s.driverName;
  info.Port = s.portName;
  info.Colour = s.colorMode == platform::DMCOLOR_COLOR;
  info.Duplex = s.duplex;
  info.Orientation = s.orientation;
  info.PaperBin = s.defaultSource;
  info.PaperSize = s.paperSize;
  info.PrintQuality = s.printQuality;
  return info;
}

PrintersResult getPrinters(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  PrintersResult result;
  runCollector(ctx, "modHPrinters", "getPrinters", [&] {
    if (!p.printers) return;
    auto list = p.printers->installed();
    if (!list) throw RaisedError(list.status());
    if (list->empty()) return;
    result.PrintersPresent = true;
    for (const auto& s : *list) result.Printers.push_back(printerInfoOf(s));
  }, OtherFailures::kInvalidCall);
  return result;
}

}  // namespace quorvane::agent
