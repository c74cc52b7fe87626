// modHKeyboard: the keyboard facts of the machine (getKeyboard).
//
// The fields up to CaretWidth come from the keyboard queries, the system
// parameters and system.ini; the driver fields from the driver file named in
// system.ini ([boot] keyboard.drv), looked up in the system directory. A
// driver file that is missing or has no version resource raises the version
// reader's error: it is reported and the driver fields stay empty.
// The version facts come through clsFVer (its date and time forms).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

// "530 ms"
std::string caretFlashText(unsigned milliseconds);
// "2 pixels", or "Not Supported" when the system cannot tell.
std::string caretWidthText(std::optional<std::int64_t> width);

KeyboardInfo getKeyboard(const CollectContext& ctx);

}  // namespace quorvane::agent
