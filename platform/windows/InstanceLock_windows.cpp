// Single-instance lock on Windows: the lock file opened without sharing.
// A second open of the same file, by another process or by this one, fails
// with a sharing violation; the system closes the handle when the process
// ends, however it ends.
#include <windows.h>

#include "platform/InstanceLock.h"

namespace quorvane::platform {
namespace {

class SharedNoneInstanceLock final : public InstanceLock {
 public:
  explicit SharedNoneInstanceLock(HANDLE file) : file_(file) {}
  ~SharedNoneInstanceLock() override { CloseHandle(file_); }
  SharedNoneInstanceLock(const SharedNoneInstanceLock&) = delete;
  SharedNoneInstanceLock& operator=(const SharedNoneInstanceLock&) = delete;

 private:
  HANDLE file_;
};

}  // namespace

Expected<LockResult> acquireInstanceLock(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kInstanceLockFileName;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
      return LockResult{LockOutcome::HeldElsewhere, nullptr};
    return Status::Error(75, "Path/File access error (" + file.string() + ": Windows error " +
                                 std::to_string(code) + ")");
  }
  return LockResult{LockOutcome::Acquired, std::make_unique<SharedNoneInstanceLock>(h)};
}

}  // namespace quorvane::platform
