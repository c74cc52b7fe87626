#include "server/core/ResourceLimits.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <algorithm>
#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

namespace quorvane {
namespace {

int niceOfThread(pid_t thread) {
  errno = 0;
  return ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

pid_t thisThread() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

struct EventLoopRow {
  const char* name;
  std::optional<std::string> before;  // nullopt: not set
  std::string after;
};

class PreferOwnEventLoopTest : public ::testing::TestWithParam<EventLoopRow> {
 protected:
  void TearDown() override { ::unsetenv("QT_NO_GLIB"); }
};

TEST_P(PreferOwnEventLoopTest, SetsTheSwitchUnlessTheUserDid) {
  const EventLoopRow& row = GetParam();
  if (row.before) {
    ::setenv("QT_NO_GLIB", row.before->c_str(), 1);
  } else {
    ::unsetenv("QT_NO_GLIB");
  }
  preferOwnEventLoop();
  const char* value = std::getenv("QT_NO_GLIB");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value), row.after);
}

INSTANTIATE_TEST_SUITE_P(Rows, PreferOwnEventLoopTest,
                         ::testing::Values(EventLoopRow{"NotSet", std::nullopt, "1"},
                                           EventLoopRow{"UserTurnedGlibOff", std::string("1"), "1"},
                                           EventLoopRow{"UserWroteSomethingElse", std::string("yes"), "yes"},
                                           EventLoopRow{"UserSetItEmpty", std::string(""), ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// Qt reads the switch when the application object makes its event loop.
TEST(ResourceLimitsTest, AnApplicationMadeAfterwardsPollsWithQtsOwnLoop) {
  ::unsetenv("QT_NO_GLIB");
  preferOwnEventLoop();
  int argc = 1;
  char name[] = "resourcelimits_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance();
  ASSERT_NE(loop, nullptr);
  EXPECT_FALSE(loop->inherits("QEventDispatcherGlib")) << loop->metaObject()->className();
  ::unsetenv("QT_NO_GLIB");
}

TEST(ResourceLimitsTest, OnlyTheCallingThreadYields) {
  const int mainBefore = niceOfThread(thisThread());
  int workerAfter = 0;
  std::thread worker([&] {
    lowerThisThreadsPriority();
    workerAfter = niceOfThread(thisThread());
  });
  worker.join();
  EXPECT_EQ(workerAfter, std::min(mainBefore + 10, 19)) << "ten steps nicer than the process, at most 19";
  EXPECT_EQ(niceOfThread(thisThread()), mainBefore);
}

TEST(ResourceLimitsTest, OpenFileLimitRisesToTheHardMaximum) {
  const long limit = raiseOpenFileLimit();
  rlimit r{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &r), 0);
  EXPECT_EQ(r.rlim_cur, r.rlim_max);
  if (r.rlim_cur != RLIM_INFINITY) {
    EXPECT_EQ(limit, static_cast<long>(r.rlim_cur));
  }
}

// Left alone, the C library raises its mapping threshold to the size of the
// first large block freed and serves the next ones from its heap.
TEST(ResourceLimitsTest, EveryLargeBlockGetsItsOwnMappingAlsoAfterOneWasFreed) {
  ASSERT_TRUE(keepLargeBlocksOutOfTheHeap());
  constexpr std::size_t kBlock = 1024 * 1024;
  for (int round = 0; round < 3; ++round) {
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* block = std::malloc(kBlock);
    ASSERT_NE(block, nullptr);
    std::memset(block, round, kBlock);
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + kBlock) << "round " << round;
    std::free(block);
  }
}

}  // namespace
}  // namespace quorvane
