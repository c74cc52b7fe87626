// Single-instance lock on Linux: flock() on an open lock file. flock locks
// belong to the open file description, so two agents of one process on the
// same folder exclude each other just like two processes do.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/InstanceLock.h"
#include "common/ErrorReport.h"

namespace quorvane::platform {
namespace {

class FlockInstanceLock final : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : fd_(fd) {}
  ~FlockInstanceLock() override {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  FlockInstanceLock(const FlockInstanceLock&) = delete;
  FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

 private:
  int fd_;
};

}  // namespace

Expected<LockResult> acquireInstanceLock(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kInstanceLockFileName;
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Status::Error(kErrPathAccess, "Path/File access error (" + file.string() + ": " +
                                 std::strerror(errno) + ")");
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return LockResult{LockOutcome::HeldElsewhere, nullptr};
    return Status::Error(kErrPathAccess, "Path/File access error (" + file.string() + ": " +
                                 std::strerror(err) + ")");
  }
  return LockResult{LockOutcome::Acquired, std::make_unique<FlockInstanceLock>(fd)};
}

}  // namespace quorvane::platform
