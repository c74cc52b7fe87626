// InstanceLock: the single-instance test of the agent.
//
// A lock file in the program folder, held for as long as the InstanceLock
// object lives. A second agent on the same folder (in another process or in
// the same one) fails to take it; agents with different folders run side by
// side. The lock is released by the system when the process ends, however it
// ends, so a crashed agent never blocks the next start. The file itself stays.
#pragma once

#include <filesystem>
#include <memory>

#include "common/Status.h"

namespace quorvane::platform {

inline constexpr const char* kInstanceLockFileName = "QuorvanePro.lock";

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

enum class LockOutcome { Acquired, HeldElsewhere };

struct LockResult {
  LockOutcome outcome = LockOutcome::HeldElsewhere;
  std::unique_ptr<InstanceLock> lock;  // set when Acquired
};

// Tries to take the lock `folder`/kInstanceLockFileName without waiting.
// Fails (error 75, path/file access) when the lock file cannot be opened.
Expected<LockResult> acquireInstanceLock(const std::filesystem::path& folder);

}  // namespace quorvane::platform
