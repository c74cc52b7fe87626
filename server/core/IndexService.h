// IndexService: the index database at work beside the server.
//
// resolveIndexDatabase turns the settings' index keys into a database to
// open (the password from its file or the environment). catchUpIndex brings
// an open index up to date with DataStore: every data file whose modification
// time differs from the one indexed for its address is indexed again, oldest
// first, in batches. IndexWriter does that on a thread of its own with a
// connection of its own: start() opens the index and catches up; submit()
// queues one stored audit, submitCommand one command result; neither waits
// for the database. A database that
// cannot be opened or written is reported once through `onProblem` (on the
// writer's thread) and the audits go on being stored; the writer tries to
// open the index again with an audit that comes at least `retryMs` after the
// failure (audits before that are dropped at once), catches up (which also
// indexes what it had to drop) and reports again only after it worked once
// more. On destruction the writer finishes its queue, or drops it while the
// database is out of reach (the next start catches up).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/AuditRecord.h"
#include "common/Status.h"
#include "server/core/AuditIndex.h"
#include "server/core/ServerSettings.h"

namespace quorvane {

inline constexpr const char* kIndexPasswordVariable = "QUORVANE_INDEX_PASSWORD";

// nullopt when the settings turn the index off.
Expected<std::optional<IndexDatabase>> resolveIndexDatabase(const IndexSettings& settings,
                                                            const std::string& appPath);

// The modification time of a file in milliseconds since the epoch (-1 when
// it cannot be read).
std::int64_t fileTimeMs(const std::string& path);

struct CatchUpResult {
  int files = 0;     // data files in DataStore
  int indexed = 0;   // indexed again
  int unreadable = 0;  // could not be read or decoded (left out)
  bool elsewhere = false;  // another process was catching up the same index: nothing done
};

// Held by the process that catches an index up, beside the program's files:
// one catch-up at a time per program folder (a console or a question on the
// command line beside the server's service), the others leave it to it.
inline constexpr const char* kIndexCatchUpLockName = "QuorvaneIndex.catch-up.lock";
// `stop`, asked before each file, ends the catch-up early with what was
// indexed so far committed (the next catch-up does the rest).
Expected<CatchUpResult> catchUpIndex(AuditIndex& index, const std::string& appPath, int batchSize = 250,
                                     const std::function<bool()>& stop = {});

class IndexWriter {
 public:
  using ProblemFn = std::function<void(const Status&)>;
  IndexWriter(IndexDatabase where, std::string appPath, ProblemFn onProblem, int retryMs = 30000);
  ~IndexWriter();  // finishes the queue, then stops the thread
  IndexWriter(const IndexWriter&) = delete;
  IndexWriter& operator=(const IndexWriter&) = delete;

  void start();
  // Queues one stored audit; drops it (catch-up repairs that) when the queue
  // holds kMaxQueued audits already.
  void submit(std::string address, AuditRecord record, std::int64_t storedAtMs);
  // Queues one command's result for the command log (same queue and limit).
  void submitCommand(CommandLogEntry entry);
  // Waits until the queue is empty and nothing is being written.
  bool waitIdle(int timeoutMs);

  static constexpr std::size_t kMaxQueued = 20000;
  struct Counters {
    long indexed = 0, failed = 0, dropped = 0, caughtUp = 0, problemsReported = 0;
  };
  Counters counters() const;

 private:
  struct Job {
    std::string address;
    AuditRecord record;
    std::int64_t storedAtMs = 0;
    std::optional<CommandLogEntry> command;  // set: a command log row, not an audit
  };
  void enqueue(Job job);
  void run();
  static Status writeJobs(AuditIndex& index, const std::vector<Job>& jobs);
  bool ensureOpen(AuditIndex& index);
  void problem(const Status& why);

  IndexDatabase where_;
  std::string appPath_;
  ProblemFn onProblem_;
  int retryMs_;
  std::chrono::steady_clock::time_point nextAttempt_{};
  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<Job> queue_;
  bool busy_ = true;  // until the first catch-up is done
  bool stopping_ = false;
  bool reported_ = false;
  bool open_ = false;
  Counters counters_;
  std::thread thread_;
};

class ServerCore;

// Reads the core's settings file, and unless the index is off, starts a
// writer that indexes every audit the core stores (its hook), logs every
// command the core's dispatcher ends (its result hook) and reports a
// database problem once through the core's error report. Call before
// core.start(); nullptr when the index is off or its settings are wrong (then
// reported).
std::unique_ptr<IndexWriter> attachIndexWriter(ServerCore& core, int retryMs = 30000);

}  // namespace quorvane
