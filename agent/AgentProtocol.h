// The bytes of the agent-server exchange as the agent names them: the
// command tokens and the end marker of common/ExchangeBytes.h.
#pragma once

#include "common/ExchangeBytes.h"

namespace quorvane::agent {

using quorvane::EndMarker;
using quorvane::tokAudit;
using quorvane::tokHangUp;
using quorvane::tokLogOff;
using quorvane::tokMessage;
using quorvane::tokPowerOff;
using quorvane::tokQuit;
using quorvane::tokReboot;

}  // namespace quorvane::agent
