// The decoder's worker: uploads are decoded off the caller's thread, in turn
// across sources, in order within one source, and bounded while waiting.
#include "server/core/UploadDecoder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <thread>
#include <mutex>
#include <vector>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::waitUntil;

struct Seen {
  std::string ip;
  std::string upload;
  bool decoded;
};

TEST(UploadDecoder, SourcesTakeTurnsAndEachKeepsItsOrder) {
  testing::ensureCoreApplication();
  std::mutex gateLock;
  std::atomic<bool> open{false};
  std::vector<std::string> decodedOrder;
  std::vector<Seen> done;
  DecodeQueueLimits limits;
  limits.perSource = 10;
  UploadDecoder decoder(
      [&](std::string_view upload) -> Expected<AuditRecord> {
        while (!open) std::this_thread::yield();  // the worker waits until all are queued
        std::lock_guard lock(gateLock);
        decodedOrder.emplace_back(upload);
        if (upload.starts_with("bad")) return Status::Error(1, "bad upload");
        return AuditRecord{};
      },
      [&](const std::string& ip, std::string upload, Expected<AuditRecord> record) {
        done.push_back({ip, std::move(upload), record.ok()});
      },
      limits);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(decoder.submit("10.0.0.1", "bad" + std::to_string(i)));
  ASSERT_TRUE(decoder.submit("10.0.0.2", "good"));
  open = true;
  ASSERT_TRUE(waitUntil([&] { return done.size() == 6; }, 10000));
  EXPECT_EQ(decoder.pending(), 0u);
  // The first bomb may already be in hand; the other source comes next.
  const auto good = std::find_if(done.begin(), done.end(), [](const Seen& s) { return s.ip == "10.0.0.2"; });
  ASSERT_NE(good, done.end());
  EXPECT_LE(good - done.begin(), 2);
  EXPECT_TRUE(good->decoded);
  std::vector<std::string> fromFirst;
  for (const Seen& s : done) {
    if (s.ip == "10.0.0.1") {
      fromFirst.push_back(s.upload);
      EXPECT_FALSE(s.decoded);
    }
  }
  EXPECT_EQ(fromFirst, (std::vector<std::string>{"bad0", "bad1", "bad2", "bad3", "bad4"}));
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
        [&](std::string_view) -> Expected<AuditRecord> {
          entered = true;
          while (!open) std::this_thread::yield();
          return AuditRecord{};
        },
        [&](const std::string&, std::string, Expected<AuditRecord>) { ++finished; }, limits);
    ASSERT_TRUE(decoder.submit("busy", "z"));  // the worker holds this one
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
    for (const auto& row : rows) EXPECT_EQ(decoder.submit(row.ip, std::string(row.bytes, 'x')), row.taken) << row.name;
    EXPECT_EQ(decoder.pending(), 5u);
    open = true;
    // Destroyed with work in hand: it waits for that and drops the rest.
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(finished, 0);
}

}  // namespace
}  // namespace quorvane
