// modHPrinters: the installed printers of the machine (getPrinters).
//
// Exactly one PrinterInfo per printer in the order the system lists them;
// no printer gives an absent array and PrintersPresent false.
#pragma once

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"
#include "platform/Printers.h"

namespace quorvane::agent {

struct PrintersResult {
  Array<PrinterInfo> Printers;
  Flag PrintersPresent;
};

PrinterInfo printerInfoOf(const platform::PrinterSettings& settings);
PrintersResult getPrinters(const CollectContext& ctx);

}  // namespace quorvane::agent
