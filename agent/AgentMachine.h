// AgentMachine: the audit function of an agent, i.e. the collectors over a
// platform backend: the machine the agent runs on, or the machine described
// by a JSON machine file (--machine). The returned function owns its
// platform; the agent owns the function.
#pragma once

#include <filesystem>
#include <optional>

#include "agent/Agent.h"
#include "common/Status.h"

namespace quorvane::agent {

// Fails when the machine file cannot be used (with the reason).
Expected<AuditFn> makeMachineAudit(const std::optional<std::filesystem::path>& machineFile);

}  // namespace quorvane::agent
