// modHCommon: what the hardware collectors share: the error-report wrapper of
// a collector procedure and the small number helpers. (The registry reader is
// agent/collect/Registry.h, the version reader agent/collect/clsFVer.h, the
// system.ini reader and the version tests agent/collect/SystemFiles.h, the
// space trimming agent/collect/modRegistry.h.)
//
// Every collector runs its body through runReported: an error raised inside
// (RaisedError, or any exception) stops the body at that point, the report
// text of the agent's convention ("Error in : QuorvanePro.<module>.<proc>"
// ...) goes to `show`, and the collector returns what it has filled so far.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "agent/collect/SystemFiles.h"
#include "common/ErrorReport.h"
#include "platform/Platform.h"

namespace quorvane::agent {

// Receives the full text of one error report (shown with the critical icon
// and the program's title by whoever owns the desktop).
using ErrorShow = std::function<void(std::string_view reportText)>;

// Runs `body`; reports an error escaping it as procedure `procedure` of
// module `module` of the agent.
void runReported(std::string_view module, std::string_view procedure, const ErrorShow& show,
                 const std::function<void()>& body);

// The number a text gives when read as a number: "&H" hexadecimal, else the
// leading decimal digits (with a sign); 0 when there are none.
std::int64_t numberOfText(std::string_view text);

inline int hiByte(std::uint32_t w) { return static_cast<int>((w >> 8) & 0xFF); }
inline int loByte(std::uint32_t w) { return static_cast<int>(w & 0xFF); }

}  // namespace quorvane::agent
