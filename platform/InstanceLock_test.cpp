// The single-instance lock: one holder per folder, released with its object.
#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/ScratchFolders.h"

namespace quorvane::platform {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) { return quorvane::testing::scratchFolder("qv-lock", name); }

TEST(InstanceLock, OneHolderPerFolder) {
  const fs::path a = freshFolder("a"), b = freshFolder("b");
  auto first = acquireInstanceLock(a);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first->outcome, LockOutcome::Acquired);
  EXPECT_TRUE(fs::exists(a / kInstanceLockFileName));

  auto second = acquireInstanceLock(a);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->outcome, LockOutcome::HeldElsewhere);
  EXPECT_EQ(second->lock, nullptr);

  auto other = acquireInstanceLock(b);
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(other->outcome, LockOutcome::Acquired);

  first->lock.reset();
  auto third = acquireInstanceLock(a);
  ASSERT_TRUE(third.ok());
  EXPECT_EQ(third->outcome, LockOutcome::Acquired);
  // Released before the folders go: Windows removes no folder with an open file.
  third->lock.reset();
  other->lock.reset();
  fs::remove_all(a);
  fs::remove_all(b);
}

TEST(InstanceLock, AFolderThatCannotHoldTheLockIsAnError) {
  auto r = acquireInstanceLock("/nonexistent-quorvane-folder/deeper");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().number(), 75);
}

}  // namespace
}  // namespace quorvane::platform
