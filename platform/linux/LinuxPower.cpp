// Power actions on Linux. Only ever reached with the system backend: tests,
// benchmarks and demos run the agent with the dry-run backend.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Power.h"
#include "platform/PlatformErrors.h"

extern char** environ;

namespace quorvane::platform {
namespace {

// Runs `argv` and waits for it; true when it exited with status 0.
bool run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool envSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

class SystemPowerControl final : public PowerControl {
 public:
  Status perform(PowerAction action) override {
    switch (action) {
      case PowerAction::PowerOff:
        return run({"systemctl", "poweroff"}) ? Status::Ok()
                                              : Status::Error(kErrActionFailed, "systemctl poweroff failed");
      case PowerAction::Reboot:
        return run({"systemctl", "reboot"}) ? Status::Ok()
                                            : Status::Error(kErrActionFailed, "systemctl reboot failed");
      case PowerAction::LogOff:
        return logOff();
    }
    return Status::Error(kErrInvalidCall, "Invalid procedure call or argument");
  }

 private:
  static Status logOff() {
    // A desktop session manager logs the user out politely.
    if (envSet("DISPLAY") || envSet("WAYLAND_DISPLAY")) {
      if (run({"gnome-session-quit", "--logout", "--no-prompt"})) return Status::Ok();
      if (run({"xfce4-session-logout", "--logout"})) return Status::Ok();
      if (run({"qdbus", "org.kde.ksmserver", "/KSMServer", "logout", "0", "0", "0"})) {
        return Status::Ok();
      }
    }
    // Otherwise logind ends the session (forced).
    if (const char* id = std::getenv("XDG_SESSION_ID"); id != nullptr && *id != '\0') {
      if (run({"loginctl", "terminate-session", id})) return Status::Ok();
    }
    if (run({"loginctl", "terminate-seat", "seat0"})) return Status::Ok();
    return Status::Error(kErrActionFailed, "no session manager or logind answered the log-off request");
  }
};

}  // namespace

std::unique_ptr<PowerControl> makeSystemPowerControl() {
  return std::make_unique<SystemPowerControl>();
}

}  // namespace quorvane::platform
