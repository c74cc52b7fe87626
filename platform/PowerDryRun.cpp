#include <ostream>

#include "platform/Power.h"

namespace quorvane::platform {

std::string_view powerActionName(PowerAction action) {
  switch (action) {
    case PowerAction::PowerOff: return "power-off";
    case PowerAction::Reboot: return "reboot";
    case PowerAction::LogOff: return "log-off";
  }
  return "unknown";
}

namespace {

class DryRunPowerControl final : public PowerControl {
 public:
  explicit DryRunPowerControl(std::ostream& out) : out_(out) {}
  Status perform(PowerAction action) override {
    out_ << "dry-run: " << powerActionName(action) << '\n' << std::flush;
    return Status::Ok();
  }

 private:
  std::ostream& out_;
};

}  // namespace

std::unique_ptr<PowerControl> makeDryRunPowerControl(std::ostream& out) {
  return std::make_unique<DryRunPowerControl>(out);
}

}  // namespace quorvane::platform
