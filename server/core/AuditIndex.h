// AuditIndex: the index database beside DataStore, through Qt SQL.
//
// DataStore stays the one place of every latest audit; the index is built
// from its files and can always be built again from them. It holds, per
// machine (one row per address a file is named after): host name, domain,
// WindowsID, first and last seen, the latest audit's summary (OS, processor,
// memory, drives) and applications (name, version, publisher); and a change
// log (AuditChanges) of every indexed audit against the machine's previous
// one, with the audit date and the time the file was stored. Application
// lists are kept for the latest audit only. Beside them, the command log:
// every command the console sent and how it ended.
//
// Layout: every distinct application name and publisher, and every version
// of it, is stored once; a machine's list is one row of packed version ids
// (IdList), compared by id first, so an audit with unchanged applications
// reads and writes one row. The search uses the reverse lists: per version,
// the machines that have it (packed, in chunks of bounded size).
//
// Identity: an address seen for the first time whose audit carries the
// WindowsID and host name of a machine at another address continues that
// machine's history (same `identity`); the old row is marked moved to the new
// address, keeps its history and is never deleted.
//
// SQLite (a file) or PostgreSQL (host or Unix-socket folder, port, database,
// user, password). open() creates the schema or migrates it (table
// schema_version). All calls on one object from one thread: the thread that
// called open(). Texts are stored as UTF-8 (records carry Windows-1252).
// Times are milliseconds since the epoch (UTC).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/AuditRecord.h"
#include "common/Status.h"
#include "server/core/ServerErrors.h"
#include "server/core/AuditChanges.h"
#include "server/core/VersionOrder.h"

namespace quorvane {

inline constexpr std::string_view kIndexFileName = "QuorvaneIndex.sqlite";

struct IndexDatabase {
  enum class Kind { SQLite, PostgreSQL };
  Kind kind = Kind::SQLite;
  std::string sqlitePath;  // SQLite: the database file
  std::string host;        // PostgreSQL: host name, or a Unix-socket folder ("/...")
  int port = 0;            // 0: the client library's default
  std::string name, user, password;
};

struct FindQuery {
  std::string name;  // case-insensitive part of the application name
  VersionOp op = VersionOp::Any;
  std::string version;
};
// "firefox < 120", "Adobe Reader", "7-Zip >= 9.20". Operators < <= = >= >.
Expected<FindQuery> parseFindQuery(std::string_view text);

struct FoundApplication {
  std::string address, hostName, domain, application, version, publisher;
};

struct ChangeEntry {
  std::string address;    // where the machine was when it changed
  std::string auditDate;  // the audit's own date text
  std::int64_t receivedMs = 0;
  AuditChange change;
};

// One command the console sent: when, to which address, the button's
// caption, and the status it ended with.
struct CommandLogEntry {
  std::int64_t sentMs = 0;
  std::string target, caption, result;
};

struct MachineEntry {
  std::string address, hostName, domain, windowsId, auditDate, os, processor, memory, drives;
  std::int64_t firstSeenMs = 0, lastSeenMs = 0;
  std::string movedTo;  // the address it moved to; empty while current
  std::int64_t identity = 0;
};

class AuditIndex {
 public:
  explicit AuditIndex(IndexDatabase where);
  ~AuditIndex();
  AuditIndex(const AuditIndex&) = delete;
  AuditIndex& operator=(const AuditIndex&) = delete;

  Status open();  // connects; creates or migrates the schema
  bool isOpen() const;
  static int schemaVersion();

  // Indexes the audit stored for `address` at `storedAtMs` (the file's
  // modification time). An audit older than the one indexed for the address
  // is skipped (a late job after the catch-up took the newer file); one as
  // old is compared again (file times are coarse: two uploads may share one).
  // One transaction, or part of the caller's batch. The search lists are
  // written at the commit, once per application version the batch touched.
  Status indexAudit(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs);
  Status beginBatch();
  Status commitBatch();
  void rollbackBatch();

  // Many audits at once (a first build): the search lists are dropped while
  // they are written and built again from the machines' lists in one pass at
  // the end. open() builds them again should a run stop in between.
  Status beginBulk();
  Status endBulk();

  // address -> the stored time of the audit indexed for it.
  Expected<std::map<std::string, std::int64_t>> indexedTimes();

  Expected<std::vector<FoundApplication>> find(const FindQuery& query);
  // The changes of the machine at `address` (and of the addresses it had
  // before), newest first; only those received on or after `sinceMs`.
  Expected<std::vector<ChangeEntry>> history(const std::string& address, std::int64_t sinceMs = 0);
  Expected<std::vector<MachineEntry>> stale(int days, std::int64_t nowMs);
  Expected<std::vector<MachineEntry>> moved();
  Expected<std::optional<MachineEntry>> machine(const std::string& address);

  // The command log: one row per command and target, listed newest first
  // (only those sent on or after `sinceMs`).
  Status logCommand(const CommandLogEntry& entry);
  Expected<std::vector<CommandLogEntry>> commandLog(std::int64_t sinceMs = 0);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace quorvane
