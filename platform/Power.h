// Power: the machine-wide actions that the server's commands ask for.
//
// The system backend asks the operating system politely (never forced where
// the system offers a polite way): on Linux power-off and reboot go through
// systemd (`systemctl poweroff`, `systemctl reboot`); log-off asks the
// desktop's session manager where one runs and otherwise ends the session
// through logind (that fallback is forced: programs are not asked).
//
// The dry-run backend only writes one line per action to a text stream
// ("dry-run: power-off", "dry-run: reboot", "dry-run: log-off"). Tests,
// benchmarks, demos and simulations always use it.
#pragma once

#include <iosfwd>
#include <memory>
#include <string_view>

#include "common/Status.h"

namespace quorvane::platform {

enum class PowerAction { PowerOff, Reboot, LogOff };

// "power-off", "reboot", "log-off".
std::string_view powerActionName(PowerAction action);

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // Starts the action and returns; failures come back as values.
  virtual Status perform(PowerAction action) = 0;
};

std::unique_ptr<PowerControl> makeSystemPowerControl();
std::unique_ptr<PowerControl> makeDryRunPowerControl(std::ostream& out);

}  // namespace quorvane::platform
