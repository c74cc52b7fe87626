// Built when the collectors are not part of the build: audits stay empty
// and a machine file cannot be used.
#include "agent/AgentMachine.h"

namespace quorvane::agent {

Expected<AuditFn> makeMachineAudit(const std::optional<std::filesystem::path>& machineFile) {
  if (machineFile) return Status::Error(5, "this build has no collectors for --machine");
  return AuditFn([](AuditRecord&, const std::string&, const std::function<void(const std::string&)>&) {});
}

}  // namespace quorvane::agent
