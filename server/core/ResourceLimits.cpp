#include "server/core/ResourceLimits.h"

#include <malloc.h>
#include <cerrno>
#include <algorithm>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvane {

long raiseOpenFileLimit() {
  rlimit r{};
  if (getrlimit(RLIMIT_NOFILE, &r) != 0) return -1;
  if (r.rlim_cur < r.rlim_max) {
    rlimit raised = r;
    raised.rlim_cur = r.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) r = raised;
  }
  return r.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(r.rlim_cur);
}

bool keepLargeBlocksOutOfTheHeap() {
  // A fixed threshold also turns off the C library's moving one.
  return ::mallopt(M_MMAP_THRESHOLD, 128 * 1024) == 1;
}

void preferOwnEventLoop() { ::setenv("QT_NO_GLIB", "1", /*overwrite=*/0); }

void lowerThisThreadsPriority() {
  // On Linux a nice value belongs to the thread whose id is given.
  // Ten steps below the thread's own, whatever the process runs at.
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, thread);
  if (errno != 0) return;
  ::setpriority(PRIO_PROCESS, thread, std::min(now + 10, 19));
}

}  // namespace quorvane
