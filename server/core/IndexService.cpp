#include "server/core/IndexService.h"

#include <QLockFile>
#include <QPointer>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "common/AuditRecordIO.h"
#include "common/WholeFile.h"
#include "common/modCompression.h"
#include "server/core/ResourceLimits.h"
#include "server/core/ServerCore.h"
#include "server/core/modMisc.h"

namespace quorvane {
namespace {

constexpr std::size_t kBulkAudits = 500;

Status settingError(const std::string& text) { return Status::Error(kErrIndexDatabase, "Index database: " + text); }

Expected<std::string> readPassword(const IndexSettings& s) {
  if (s.passwordFile.empty()) {
    const char* env = std::getenv(kIndexPasswordVariable);
    return std::string(env ? env : "");
  }
  std::ifstream in(s.passwordFile, std::ios::binary);
  if (!in) return settingError("cannot read the password file " + s.passwordFile);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

Expected<std::optional<IndexDatabase>> resolveIndexDatabase(const IndexSettings& s, const std::string& appPath) {
  IndexDatabase db;
  if (s.database == "off") return std::optional<IndexDatabase>{};
  if (s.database.empty() || s.database == "sqlite") {
    db.sqlitePath = s.file.empty() ? getAppPath(appPath) + std::string(kIndexFileName) : s.file;
    return std::optional<IndexDatabase>(db);
  }
  if (s.database != "postgresql") {
    return settingError("IndexDatabase is \"" + s.database + "\"; it takes sqlite, postgresql or off");
  }
  db.kind = IndexDatabase::Kind::PostgreSQL;
  db.host = s.host, db.name = s.name, db.user = s.user;
  if (!s.port.empty()) {
    const bool digits = std::all_of(s.port.begin(), s.port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || s.port.size() > 5 || std::stoi(s.port) > 65535) return settingError("IndexPort is not a port");
    db.port = std::stoi(s.port);
  }
  if (db.name.empty()) return settingError("IndexName (the database) is missing");
  Expected<std::string> password = readPassword(s);
  if (!password) return password.status();
  db.password = std::move(*password);
  return std::optional<IndexDatabase>(db);
}

std::int64_t fileTimeMs(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return std::int64_t{st.st_mtim.tv_sec} * 1000 + st.st_mtim.tv_nsec / 1'000'000;
}

Expected<CatchUpResult> catchUpIndex(AuditIndex& index, const std::string& appPath, int batchSize,
                                     const std::function<bool()>& stop) {
  CatchUpResult result;
  QLockFile lock(QString::fromStdString(appPath + kIndexCatchUpLockName));
  lock.setStaleLockTime(0);  // a long catch-up is not stale while its process lives
  if (!lock.tryLock(0)) {
    result.elsewhere = true;
    return result;
  }
  Expected<std::map<std::string, std::int64_t>> indexed = index.indexedTimes();
  if (!indexed) return indexed.status();
  struct Pending {
    std::int64_t time;
    std::string key, path;
  };
  std::vector<Pending> pending;
  const DataFileListing listing = getFileCount(appPath);
  for (const std::string& path : listing.noDataFiles ? std::vector<std::string>{} : listing.paths) {
    ++result.files;
    const std::string key = clientKeyOfDataFile(path);
    const std::int64_t time = fileTimeMs(path);
    const auto it = indexed->find(key);
    if (time >= 0 && (it == indexed->end() || it->second != time)) pending.push_back({time, key, path});
  }
  std::sort(pending.begin(), pending.end(),
            [](const Pending& a, const Pending& b) { return std::tie(a.time, a.key) < std::tie(b.time, b.key); });
  // A first build (or a long outage): the search index is built once at the end.
  const bool bulk = pending.size() >= kBulkAudits;
  if (bulk) {
    if (Status st = index.beginBulk(); !st) return st;
  }
  int inBatch = 0;
  for (const Pending& p : pending) {
    if (stop && stop()) break;
    Expected<std::string> bytes = readWholeFile(p.path, kMaxStoredFileSize);
    Expected<AuditRecord> record = bytes ? decodeStoredAudit(*bytes) : Expected<AuditRecord>(bytes.status());
    if (!record) {
      ++result.unreadable;
      continue;
    }
    if (inBatch == 0) {
      if (Status st = index.beginBatch(); !st) return st;
    }
    if (Status st = index.indexAudit(p.key, *record, p.time); !st) {
      index.rollbackBatch();
      return st;
    }
    ++result.indexed;
    if (++inBatch == batchSize) {
      inBatch = 0;
      if (Status st = index.commitBatch(); !st) return st;
    }
  }
  if (inBatch > 0) {
    if (Status st = index.commitBatch(); !st) return st;
  }
  if (bulk) {
    if (Status st = index.endBulk(); !st) return st;
  }
  return result;
}

IndexWriter::IndexWriter(IndexDatabase where, std::string appPath, ProblemFn onProblem, int retryMs)
    : where_(std::move(where)), appPath_(std::move(appPath)), onProblem_(std::move(onProblem)), retryMs_(retryMs) {}

IndexWriter::~IndexWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void IndexWriter::start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void IndexWriter::submit(std::string address, AuditRecord record, std::int64_t storedAtMs) {
  enqueue({std::move(address), std::move(record), storedAtMs, std::nullopt});
}

void IndexWriter::submitCommand(CommandLogEntry entry) { enqueue({{}, {}, 0, std::move(entry)}); }

void IndexWriter::enqueue(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kMaxQueued) {
      ++counters_.dropped;
      return;
    }
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
}

bool IndexWriter::waitIdle(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return queue_.empty() && !busy_; });
}

IndexWriter::Counters IndexWriter::counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

void IndexWriter::problem(const Status& why) {
  bool report = false;
  {
    std::lock_guard lock(mutex_);
    open_ = false;
    nextAttempt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs_);
    if (!reported_) report = reported_ = true, ++counters_.problemsReported;
  }
  if (report && onProblem_) onProblem_(why);
}

// Opens the index when it is not open and catches up with DataStore.
bool IndexWriter::ensureOpen(AuditIndex& index) {
  if (open_) return true;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || std::chrono::steady_clock::now() < nextAttempt_) return false;
  }
  if (Status st = index.open(); !st) {
    problem(st);
    return false;
  }
  // A server that is asked to end does not wait for a long catch-up.
  Expected<CatchUpResult> caught = catchUpIndex(index, appPath_, 250, [this] {
    std::lock_guard lock(mutex_);
    return stopping_;
  });
  if (!caught) {
    problem(caught.status());
    return false;
  }
  std::lock_guard lock(mutex_);
  open_ = true;
  reported_ = false;
  counters_.caughtUp += caught->indexed;
  return true;
}

// Writes what is queued in transactions of up to kJobsPerTransaction jobs:
// under a burst of uploads the search lists of an application version are
// written once per transaction, not once per audit.
void IndexWriter::run() {
  constexpr std::size_t kJobsPerTransaction = 100;
  lowerThisThreadsPriority();  // intake first: the index is bookkeeping that may trail
  auto index = std::make_unique<AuditIndex>(where_);
  ensureOpen(*index);
  std::unique_lock lock(mutex_);
  busy_ = false;
  idle_.notify_all();
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopping with nothing left
    std::vector<Job> jobs;
    while (!queue_.empty() && jobs.size() < kJobsPerTransaction) {
      jobs.push_back(std::move(queue_.front()));
      queue_.pop_front();
    }
    busy_ = true;
    lock.unlock();
    bool done = false;
    if (ensureOpen(*index)) {
      const Status st = writeJobs(*index, jobs);
      if (!st) {
        index = std::make_unique<AuditIndex>(where_);  // a fresh connection next time
        problem(st);
      }
      done = st.ok();
    }
    lock.lock();
    (done ? counters_.indexed : counters_.failed) += static_cast<long>(jobs.size());
    busy_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
  index.reset();
}

// All of `jobs` in one transaction, or none (the catch-up repairs that).
Status IndexWriter::writeJobs(AuditIndex& index, const std::vector<Job>& jobs) {
  if (Status st = index.beginBatch(); !st) return st;
  for (const Job& job : jobs) {
    const Status st = job.command ? index.logCommand(*job.command)
                                  : index.indexAudit(job.address, job.record, job.storedAtMs);
    if (!st) {
      index.rollbackBatch();
      return st;
    }
  }
  return index.commitBatch();
}

std::unique_ptr<IndexWriter> attachIndexWriter(ServerCore& core, int retryMs) {
  static constexpr std::string_view kWhere = "QuorvaneServer.AuditIndex";
  Expected<ServerSettings> settings = readServerSettingsFile(core.settingsFile());
  if (!settings) return nullptr;  // start-up reports the settings file itself
  Expected<std::optional<IndexDatabase>> where = resolveIndexDatabase(settings->index, core.appPath());
  if (!where) {
    core.reportError(kWhere, where.status().number(), where.status().description(), 0);
    return nullptr;
  }
  if (!*where) return nullptr;
  QPointer<ServerCore> guard(&core);
  auto writer = std::make_unique<IndexWriter>(**where, core.appPath(), [guard](const Status& why) {
    QMetaObject::invokeMethod(guard, [guard, why] {
      if (guard) guard->reportError(kWhere, why.number(), why.description() + " (the audits are stored; the index catches up later)", 0);
    }, Qt::QueuedConnection);
  }, retryMs);
  IndexWriter* w = writer.get();
  core.setStoredAuditHook([w](const std::string& key, const AuditRecord& record, const std::string& path) {
    w->submit(key, record, fileTimeMs(path));
  });
  core.setCommandResultHook([w](const CommandLogEntry& entry) { w->submitCommand(entry); });
  writer->start();
  return writer;
}

}  // namespace quorvane
