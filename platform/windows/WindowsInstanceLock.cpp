// Single-instance lock on Windows: an exclusive byte-range lock (LockFileEx)
// on the lock file, taken without waiting. A second agent on the same
// folder, in another process or in this one, finds the range locked; the
// system releases the lock when the handle closes or the process ends,
// however it ends. The file is opened shared, delete included, so that the
// folder can still be cleaned up while an agent runs.
#include "platform/InstanceLock.h"
#include "common/ErrorReport.h"

#include <windows.h>

namespace quorvane::platform {
namespace {

class RangeInstanceLock final : public InstanceLock {
 public:
  explicit RangeInstanceLock(HANDLE file) : file_(file) {}
  ~RangeInstanceLock() override {
    OVERLAPPED at{};
    UnlockFileEx(file_, 0, 1, 0, &at);
    CloseHandle(file_);
  }
  RangeInstanceLock(const RangeInstanceLock&) = delete;
  RangeInstanceLock& operator=(const RangeInstanceLock&) = delete;

 private:
  HANDLE file_;
};

Status accessError(const std::filesystem::path& file, DWORD code) {
  return Status::Error(kErrPathAccess, "Path/File access error (" + file.string() + ": Windows error " +
                               std::to_string(code) + ")");
}

}  // namespace

Expected<LockResult> acquireInstanceLock(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kInstanceLockFileName;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return accessError(file, GetLastError());
  OVERLAPPED at{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
      return LockResult{LockOutcome::HeldElsewhere, nullptr};
    return accessError(file, code);
  }
  return LockResult{LockOutcome::Acquired, std::make_unique<RangeInstanceLock>(h)};
}

}  // namespace quorvane::platform
