// The platform headers come first: on Windows the agent's header brings in
// the system headers (through Asio), whose macros share names with the
// platform's constants (HKEY_LOCAL_MACHINE, REG_SZ, SM_CXSCREEN, ...).
#include "agent/collect/modGetInfo.h"
#include "platform/Platform.h"

#include "agent/AgentMachine.h"

#include <memory>

namespace quorvane::agent {

Expected<AuditFn> makeMachineAudit(const std::optional<std::filesystem::path>& machineFile) {
  std::shared_ptr<platform::Platform> machine;
  if (machineFile) {
    auto fixture = platform::makeFixturePlatform(*machineFile);
    if (!fixture) return fixture.status();
    machine = std::move(*fixture);
  } else {
    machine = platform::makeNativePlatform();
  }
  return AuditFn([machine](AuditRecord& record, const std::string& serverIP,
                           const std::function<void(const std::string&)>& report) {
    CollectContext ctx{*machine, serverIP,
                       [&report](const CollectReport& r) {
                         if (report) report(r.text);
                       },
                       {}};
    getInfo(record, ctx);
  });
}

}  // namespace quorvane::agent
