// The decoder's worker: uploads are decoded off the caller's thread, in turn
// across sources, in order within one source, and bounded while waiting.
#include "server/core/UploadDecoder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::waitUntil;

// Uploads waiting together: the cheapest at the head of a source's queue
// goes first, the earliest of equals; a source's own uploads keep their order.
TEST(UploadDecoder, CheapestFirstAndEachSourceInItsOrder) {
  testing::ensureCoreApplication();
  std::atomic<bool> entered{false};
  std::atomic<bool> open{false};
  std::vector<std::string> done;
  std::vector<bool> decoded;
  UploadDecoder decoder(
      [&](const std::string&, std::string_view upload) -> Expected<AuditRecord> {
        entered = true;
        while (!open) std::this_thread::yield();
        if (upload.starts_with("bomb")) return Status::Error(1, "bomb");
        return AuditRecord{};
      },
      [&](const std::string& ip, std::string upload, Expected<AuditRecord> record) {
        done.push_back(ip + ":" + upload);
        decoded.push_back(record.ok());
      },
      DecodeQueueLimits{10, 1024});
  ASSERT_TRUE(decoder.submit("bomber", "bomb0", 16u << 20));  // in hand while the rest queue up
  while (!entered) std::this_thread::yield();
  const struct {
    const char* ip;
    const char* upload;
    std::uint64_t cost;
  } submitted[] = {
      {"bomber", "bomb1", 16u << 20}, {"bomber", "bomb2", 16u << 20}, {"other", "bomb3", 16u << 20},
      {"pc1", "audit-a", 60000},      {"pc1", "audit-b", 100},        {"pc2", "audit-c", 60000},
      {"pc3", "audit-d", 200},
  };
  for (const auto& s : submitted) ASSERT_TRUE(decoder.submit(s.ip, s.upload, s.cost)) << s.upload;
  open = true;
  ASSERT_TRUE(waitUntil([&] { return done.size() == 8; }, 10000));
  const std::vector<std::string> expected = {
      "bomber:bomb0",
      "pc3:audit-d",    // the cheapest head
      "pc1:audit-a",    // 60000, earlier than pc2's
      "pc1:audit-b",    // cheap, but behind its source's first
      "pc2:audit-c",
      "bomber:bomb1",   // bombs last, in arrival order
      "bomber:bomb2",
      "other:bomb3",
  };
  EXPECT_EQ(done, expected);
  EXPECT_EQ(decoded, (std::vector<bool>{false, true, true, true, true, false, false, false}));
  EXPECT_EQ(decoder.pending(), 0u);
}

TEST(UploadDecoder, WaitingUploadsAreBoundedAndNoResultOutlivesTheDecoder) {
  testing::ensureCoreApplication();
  std::atomic<bool> entered{false};
  std::atomic<bool> open{false};
  int finished = 0;
  DecodeQueueLimits limits;
  limits.perSource = 2;
  limits.totalBytes = 100;
  {
    UploadDecoder decoder(
        [&](const std::string&, std::string_view) -> Expected<AuditRecord> {
          entered = true;
          while (!open) std::this_thread::yield();
          return AuditRecord{};
        },
        [&](const std::string&, std::string, Expected<AuditRecord>) { ++finished; }, limits);
    ASSERT_TRUE(decoder.submit("busy", "z", 1));  // the worker holds this one
    while (!entered) std::this_thread::yield();
    const struct {
      const char* name;
      const char* ip;
      std::size_t bytes;
      bool taken;
    } rows[] = {
        {"first of a source", "a", 10, true},
        {"second of a source", "a", 10, true},
        {"a third of the same source", "a", 10, false},
        {"another source", "b", 10, true},
        {"past the total", "c", 80, false},
        {"within the total", "c", 70, true},
    };
    for (const auto& row : rows) {
      EXPECT_EQ(decoder.submit(row.ip, std::string(row.bytes, 'x'), row.bytes), row.taken) << row.name;
    }
    EXPECT_EQ(decoder.pending(), 5u);
    open = true;
    // Destroyed with work in hand: it waits for that and drops the rest.
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(finished, 0);
}

// Results wait for the owner's event loop; while it does not run, the worker
// decodes no more than the bound allows, so a slow loop cannot make decoded
// records pile up.
TEST(UploadDecoder, ResultsWaitingForTheLoopAreBounded) {
  testing::ensureCoreApplication();
  std::atomic<int> decodedCount{0};
  int finished = 0;
  DecodeQueueLimits limits;
  limits.perSource = 10;
  limits.resultsInFlight = 2;
  UploadDecoder decoder(
      [&](const std::string&, std::string_view) -> Expected<AuditRecord> {
        ++decodedCount;
        return AuditRecord{};
      },
      [&](const std::string&, std::string, Expected<AuditRecord>) { ++finished; }, limits);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(decoder.submit("pc", "audit" + std::to_string(i), 10));
  // No event processing: two results are decoded and wait, the rest do not start.
  for (int i = 0; i < 50 && decodedCount < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(decodedCount, 2);
  EXPECT_EQ(decoder.pending(), 6u);
  ASSERT_TRUE(waitUntil([&] { return finished == 6; }, 10000));
  EXPECT_EQ(decodedCount, 6);
  EXPECT_EQ(decoder.pending(), 0u);
}

}  // namespace
}  // namespace quorvane
