#include "server/core/AuditIndex.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <iterator>
#include <tuple>
#include <unordered_map>

#include "common/Text8.h"
#include "server/core/IdList.h"
#include "server/core/TextIdTable.h"

namespace quorvane {
namespace {

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string s(const QVariant& v) { return v.toString().toStdString(); }
std::string utf8(const std::string& text1252) { return windows1252ToUtf8(text1252); }

// Statements of each schema version, in the dialect of Impl::dialect().
const std::vector<std::vector<const char*>>& migrations() {
  static const std::vector<std::vector<const char*>> steps = {
      {
          "CREATE TABLE machines (id {ID}, address TEXT NOT NULL UNIQUE, identity BIGINT NOT NULL DEFAULT 0,"
          " host_name TEXT NOT NULL DEFAULT '', domain TEXT NOT NULL DEFAULT '', windows_id TEXT NOT NULL DEFAULT '',"
          " first_seen BIGINT NOT NULL, last_seen BIGINT NOT NULL, stored_at BIGINT NOT NULL,"
          " audit_date TEXT NOT NULL DEFAULT '', os TEXT NOT NULL DEFAULT '', processor TEXT NOT NULL DEFAULT '',"
          " memory TEXT NOT NULL DEFAULT '', drives TEXT NOT NULL DEFAULT '', moved_to TEXT)",
          "CREATE INDEX machines_identity ON machines (identity)",
          "CREATE INDEX machines_windows_id ON machines (windows_id, host_name)",
          "CREATE TABLE drives (machine_id BIGINT NOT NULL, name TEXT NOT NULL, size TEXT NOT NULL)",
          "CREATE INDEX drives_machine ON drives (machine_id)",
          "CREATE TABLE app_names (id {ID}, name TEXT NOT NULL, publisher TEXT NOT NULL,"
          " name_lower TEXT NOT NULL, UNIQUE (name, publisher))",
          "CREATE TABLE applications (machine_id BIGINT NOT NULL, seq INTEGER NOT NULL, name_id BIGINT NOT NULL,"
          " version TEXT NOT NULL, PRIMARY KEY (machine_id, seq)) {CLUSTERED}",
          "CREATE TABLE changes (id {ID}, identity BIGINT NOT NULL, address TEXT NOT NULL,"
          " audit_date TEXT NOT NULL, received BIGINT NOT NULL, kind TEXT NOT NULL, subject TEXT NOT NULL,"
          " old_value TEXT NOT NULL, new_value TEXT NOT NULL)",
          "CREATE INDEX changes_identity ON changes (identity, received)",
      },
      {
          "CREATE TABLE command_log (id {ID}, sent BIGINT NOT NULL, target TEXT NOT NULL, caption TEXT NOT NULL,"
          " result TEXT NOT NULL)",
          "CREATE INDEX command_log_sent ON command_log (sent)",
      },
      {
          // Each machine's applications as one packed list of (name, version)
          // ids; the rows of the former applications table are packed into it.
          "CREATE TABLE app_versions (id {ID}, name_id BIGINT NOT NULL, version TEXT NOT NULL,"
          " UNIQUE (name_id, version))",
          "CREATE TABLE machine_apps (machine_id {KEY}, apps {BLOB} NOT NULL)",
      },
  };
  return steps;
}

std::atomic<int> connectionSerial{0};

// The version whose migration packs the application rows into lists.
constexpr int kPackedListsVersion = 3;
constexpr int kBusyTimeoutMs = 10000;  // how long SQLite waits for another writer

// The search lists: which machines have an application version (packed
// machine ids). Derived from machine_apps, so built again whenever missing.
constexpr const char* kCreateSearchLists =
    "CREATE TABLE app_machines (version_id BIGINT NOT NULL, chunk INTEGER NOT NULL, machines {BLOB} NOT NULL,"
    " PRIMARY KEY (version_id, chunk)) {CLUSTERED}";
constexpr std::size_t kChunkBytes = 1024;  // a chunk takes new ids until it is this long

// A version of an application name that a search matched.
struct MatchedVersion {
  qlonglong nameId = 0;
  std::string version;
};

// "1,2,3": ids for an IN list (numbers, so no quoting is needed).
std::string idText(const std::vector<qlonglong>& ids) {
  std::string text;
  for (const qlonglong id : ids) {
    if (!text.empty()) text += ',';
    text += std::to_string(id);
  }
  return text;
}

bool isUnknown(const std::string& id) { return id.empty() || id == "Unknown or None"; }

}  // namespace

Expected<FindQuery> parseFindQuery(std::string_view text) {
  static const std::pair<std::string_view, VersionOp> kOps[] = {
      {"<=", VersionOp::LessEqual}, {">=", VersionOp::GreaterEqual}, {"<", VersionOp::Less},
      {">", VersionOp::Greater},    {"=", VersionOp::Equal}};
  const auto trim = [](std::string_view v) {
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return std::string(v);
  };
  FindQuery query;
  const auto at = text.find_first_of("<>=");
  query.name = trim(text.substr(0, at));
  if (query.name.empty()) return Status::Error(kErrIndexDatabase, "no application name in \"" + std::string(text) + "\"");
  if (at == std::string_view::npos) return query;
  std::string_view rest = text.substr(at);
  for (const auto& [token, op] : kOps) {
    if (rest.substr(0, token.size()) == token) {
      query.op = op;
      query.version = trim(rest.substr(token.size()));
      break;
    }
  }
  if (query.version.empty() || query.version.find_first_of("<>=") != std::string::npos) {
    return Status::Error(kErrIndexDatabase, "no version after the operator in \"" + std::string(text) + "\"");
  }
  return query;
}

struct AuditIndex::Impl {
  IndexDatabase where;
  QString connection;
  bool batch = false;
  bool bulk = false;  // the search lists are left alone and built again at the end
  // Interned texts, cached for the writer: ids are never deleted, so an entry
  // stays right until a rollback takes back the ids of its transaction.
  std::unordered_map<std::string, qlonglong> nameIds;     // name NUL publisher (as recorded) -> app_names.id
  std::unordered_map<std::string, qlonglong> versionIds;  // name id bytes + version (UTF-8) -> app_versions.id
  TextIdTable recordedIds;  // name NUL publisher NUL version (as recorded) -> app_versions.id
  std::unordered_map<qlonglong, IndexedApplication> versionTexts;  // app_versions.id -> UTF-8 texts
  std::string nameKey, versionKey, applicationKeys;  // reused for lookups: no allocation per application
  std::vector<std::string_view> keyViews;             // into applicationKeys
  std::unordered_map<std::string, QSqlQuery> statements;  // the writer's, prepared once per connection
  // Search list changes of the open transaction, written at its commit:
  // (version id, machine id) -> entries to add (or, negative, to take back).
  std::map<std::pair<qlonglong, qlonglong>, int> searchDelta;

  QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
  bool postgres() const { return where.kind == IndexDatabase::Kind::PostgreSQL; }

  Status failed(const QSqlError& e, const char* what) const {
    return Status::Error(kErrIndexDatabase, std::string("Index database: ") + what + ": " + e.text().toStdString());
  }
  Status failed(const QSqlQuery& query, const char* what) const { return failed(query.lastError(), what); }

  // A statement in this database's dialect: {ID} a generated key, {KEY} a
  // 64-bit primary key, {BLOB} bytes, {CLUSTERED} rows stored in key order.
  QString dialect(const char* sql) const {
    const bool pg = postgres();
    return QString::fromLatin1(sql)
        .replace("{ID}", pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY")
        .replace("{KEY}", pg ? "BIGINT PRIMARY KEY" : "INTEGER PRIMARY KEY")
        .replace("{BLOB}", pg ? "BYTEA" : "BLOB")
        .replace("{CLUSTERED}", pg ? "" : "WITHOUT ROWID");
  }

  // Starts a write transaction that holds the index's write lock from its
  // start to its end, so that writers in several processes (a console and the
  // server's service, a question on the command line) take turns: SQLite's
  // BEGIN IMMEDIATE, waiting up to the busy time-out, instead of failing with
  // "database is locked" when two read first and then want to write; on
  // PostgreSQL a transaction lock, without which two writers of one search
  // list would each write it back without the other's change.
  Status beginWrite(const char* what) const {
    if (postgres()) {
      if (!db().transaction()) return failed(db().lastError(), what);
      const Status locked = exec("SELECT pg_advisory_xact_lock(1366654322)");  // "Quor"
      if (!locked) db().rollback();
      return locked;
    }
    QSqlQuery begin(db());
    return begin.exec("BEGIN IMMEDIATE") ? Status::Ok() : failed(begin, what);
  }

  // SQLite's write-ahead log, so that readers and the writer do not wait on
  // each other. Switching to it wants the database to itself and does not
  // wait for a second process opening it at the same moment: it is tried
  // again for as long as the busy time-out.
  Status useWriteAheadLog() const {
    for (int attempt = 0;; ++attempt) {
      QSqlQuery pragma(db());
      if (pragma.exec("PRAGMA journal_mode=WAL")) return Status::Ok();
      if (pragma.lastError().nativeErrorCode() != QLatin1String("5") || attempt == kBusyTimeoutMs / 10) {
        return failed(pragma, "switching to the write-ahead log");
      }
      QThread::msleep(10);
    }
  }

  Status exec(const QString& sql) const {
    QSqlQuery query(db());
    if (!query.exec(sql)) return failed(query, "statement failed");
    return Status::Ok();
  }

  QSqlQuery prepare(const QString& sql) const {
    QSqlQuery query(db());
    query.setForwardOnly(true);
    query.prepare(sql);
    return query;
  }
  QSqlQuery prepare(const char* sql) const { return prepare(QString::fromLatin1(sql)); }
  QSqlQuery prepare(const std::string& sql) const { return prepare(QString::fromStdString(sql)); }

  // A statement of the write path, prepared once per connection.
  QSqlQuery& cached(const std::string& sql) {
    auto it = statements.find(sql);
    if (it == statements.end()) it = statements.emplace(sql, prepare(sql.c_str())).first;
    return it->second;
  }

  Status run(QSqlQuery& query, const char* what) const {
    if (!query.exec()) return failed(query, what);
    return Status::Ok();
  }

  // After a rollback: the ids the transaction added, and its search changes.
  void forgetIds() {
    searchDelta.clear();
    nameIds.clear();
    versionIds.clear();
    recordedIds.clear();
    versionTexts.clear();
  }

  Status migrate();
  Expected<int> readSchemaVersion();
  Status packApplicationRows();
  Expected<qlonglong> idOrAdd(const char* addSql, const char* findSql, const std::vector<QVariant>& values,
                              std::size_t findValues, const char* what);
  Expected<qlonglong> nameIdOf(const std::string& name1252, const std::string& publisher1252);
  Expected<qlonglong> versionIdOf(qlonglong nameId, const std::string& version);
  Status applicationIds(const AuditRecord& record, std::vector<qlonglong>& out);
  Status describe(const std::vector<qlonglong>& versionIds, std::vector<IndexedApplication>& out);
  Expected<std::vector<qlonglong>> readAppList(qlonglong machineId);
  Status writeAppList(qlonglong machineId, const std::vector<qlonglong>& ids);
  Status addToSearch(qlonglong versionId, const std::vector<qlonglong>& machineIds);
  Status removeFromSearch(qlonglong versionId, qlonglong machineId);
  Status updateSearch(qlonglong machineId, std::vector<qlonglong> before, std::vector<qlonglong> after);
  Status flushSearch();
  Status buildSearchLists();
  Status rebuildSearchLists();
  Status loadSnapshot(qlonglong machineId, MachineSnapshot& out);
  Status diffAgainst(qlonglong machineId, const std::vector<qlonglong>& appsBefore, const AuditRecord& record,
                     const std::vector<qlonglong>& apps, MachineSnapshot now, MachineSnapshot& before,
                     std::vector<AuditChange>& out);
  Status writeDrives(qlonglong machineId, const std::map<std::string, std::string>& stored,
                     const MachineSnapshot& now);
  Status updateMachine(qlonglong id, qlonglong identity, const AuditRecord& record, const MachineSnapshot& now,
                       std::int64_t storedAtMs);
  Status addChanges(qlonglong identity, const std::string& address, const std::string& auditDate,
                    std::int64_t receivedMs, const std::vector<AuditChange>& changes);
  Status indexKnown(qlonglong id, qlonglong identity, const std::string& address, const AuditRecord& record,
                    const std::vector<qlonglong>& apps, std::int64_t storedAtMs);
  Status indexNew(const std::string& address, const AuditRecord& record, const std::vector<qlonglong>& apps,
                  std::int64_t storedAtMs);
  Status indexOne(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs);
  std::vector<MachineEntry> machineRows(QSqlQuery& query);
  Expected<std::unordered_map<qlonglong, MatchedVersion>> matchingVersions(
      const std::unordered_map<qlonglong, std::pair<std::string, std::string>>& names, const FindQuery& fq);
  Expected<std::vector<std::pair<qlonglong, qlonglong>>> machinesWith(
      const std::unordered_map<qlonglong, MatchedVersion>& versions);
  Expected<std::unordered_map<qlonglong, FoundApplication>> currentMachines(
      const std::vector<std::pair<qlonglong, qlonglong>>& hits);
};

// Each step reads the version again inside its own write transaction, so
// two processes opening a new index at once migrate it once, one after the
// other.
Status AuditIndex::Impl::migrate() {
  const int known = static_cast<int>(migrations().size());
  for (;;) {
    if (Status st = beginWrite("starting the migration"); !st) return st;
    Expected<int> version = readSchemaVersion();
    Status st = version.status();
    if (st && *version > known) {
      st = Status::Error(kErrIndexDatabase, "Index database: schema version " + std::to_string(*version) +
                                                " is newer than this program's " + std::to_string(known));
    }
    const bool done = st && *version == known;
    if (st && !done) {
      for (const char* statement : migrations()[static_cast<std::size_t>(*version)]) {
        if (st = exec(dialect(statement)); !st) break;
      }
      if (st && *version + 1 == kPackedListsVersion) st = packApplicationRows();
      if (st) st = exec(QString("UPDATE schema_version SET version = %1").arg(*version + 1));
    }
    if (!st) {
      db().rollback();
      forgetIds();
      return st;
    }
    if (!db().commit()) return failed(db().lastError(), "committing the migration");
    if (done) break;
  }
  forgetIds();
  return Status::Ok();
}

// The schema version, with its table and row made when the index is new.
Expected<int> AuditIndex::Impl::readSchemaVersion() {
  if (Status st = exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"); !st) return st;
  QSqlQuery read(db());
  if (!read.exec("SELECT version FROM schema_version")) return failed(read, "reading the schema version");
  if (read.next()) return read.value(0).toInt();
  read.finish();
  if (Status st = exec("INSERT INTO schema_version (version) VALUES (0)"); !st) return st;
  return 0;
}

// The rows of the former one-row-per-application table become each machine's
// packed list, in their order; the search lists are built from those later.
Status AuditIndex::Impl::packApplicationRows() {
  QSqlQuery machines = prepare("SELECT DISTINCT machine_id FROM applications");
  if (Status st = run(machines, "listing application rows"); !st) return st;
  std::vector<qlonglong> ids;
  while (machines.next()) ids.push_back(machines.value(0).toLongLong());
  machines.finish();
  QSqlQuery rows = prepare("SELECT name_id, version FROM applications WHERE machine_id = ? ORDER BY seq");
  for (const qlonglong machineId : ids) {
    rows.addBindValue(machineId);
    if (Status st = run(rows, "reading application rows"); !st) return st;
    std::vector<std::pair<qlonglong, std::string>> apps;
    while (rows.next()) apps.emplace_back(rows.value(0).toLongLong(), s(rows.value(1)));
    rows.finish();
    std::vector<qlonglong> list;
    for (const auto& [nameId, version] : apps) {
      Expected<qlonglong> id = versionIdOf(nameId, version);
      if (!id) return id.status();
      list.push_back(*id);
    }
    if (Status st = writeAppList(machineId, list); !st) return st;
  }
  return exec("DROP TABLE applications");
}

// The id of the row that `addSql` inserts with `values`, or when there is one
// already (the insert does nothing), of the row that `findSql` selects with
// the first `findValues` of them. A text met for the first time (every one
// during a first build) costs one statement.
Expected<qlonglong> AuditIndex::Impl::idOrAdd(const char* addSql, const char* findSql,
                                              const std::vector<QVariant>& values, std::size_t findValues,
                                              const char* what) {
  QSqlQuery& add = cached(addSql);
  for (const QVariant& v : values) add.addBindValue(v);
  if (Status st = run(add, what); !st) return st;
  if (add.next()) {
    const qlonglong id = add.value(0).toLongLong();
    add.finish();
    return id;
  }
  add.finish();
  QSqlQuery& find = cached(findSql);
  for (std::size_t i = 0; i < findValues; ++i) find.addBindValue(values[i]);
  if (Status st = run(find, what); !st) return st;
  if (!find.next()) return Status::Error(kErrIndexDatabase, std::string("Index database: no key for ") + what);
  const qlonglong id = find.value(0).toLongLong();
  find.finish();
  return id;
}

Expected<qlonglong> AuditIndex::Impl::nameIdOf(const std::string& name1252, const std::string& publisher1252) {
  nameKey.assign(name1252).push_back('\0');
  nameKey.append(publisher1252);
  if (auto it = nameIds.find(nameKey); it != nameIds.end()) return it->second;
  const std::string key = nameKey;
  const QString name = q(utf8(name1252)), publisher = q(utf8(publisher1252));
  Expected<qlonglong> id = idOrAdd(
      "INSERT INTO app_names (name, publisher, name_lower) VALUES (?, ?, ?) ON CONFLICT DO NOTHING RETURNING id",
      "SELECT id FROM app_names WHERE name = ? AND publisher = ?", {name, publisher, name.toLower()}, 2,
      "an application name");
  if (id) nameIds.emplace(key, *id);
  return id;
}

Expected<qlonglong> AuditIndex::Impl::versionIdOf(qlonglong nameId, const std::string& version) {
  versionKey.assign(reinterpret_cast<const char*>(&nameId), sizeof nameId).append(version);
  if (auto it = versionIds.find(versionKey); it != versionIds.end()) return it->second;
  const std::string key = versionKey;
  const QString text = q(version);
  Expected<qlonglong> id = idOrAdd(
      "INSERT INTO app_versions (name_id, version) VALUES (?, ?) ON CONFLICT DO NOTHING RETURNING id",
      "SELECT id FROM app_versions WHERE name_id = ? AND version = ?", {nameId, text}, 2, "an application version");
  if (id) versionIds.emplace(key, *id);
  return id;
}

// The app_versions ids of a record's applications, in its order: looked up
// together in the cache of what the writer met before, then one by one in
// the database for the rest.
Status AuditIndex::Impl::applicationIds(const AuditRecord& record, std::vector<qlonglong>& out) {
  const std::vector<ApplicationInfo>& items = record.Software.Applications.items;
  std::size_t total = 0;
  for (const ApplicationInfo& app : items) {
    if (!app.DisplayName.empty()) total += app.DisplayName.size() + app.Publisher.size() + app.DisplayVersion.size() + 2;
  }
  applicationKeys.clear();
  applicationKeys.reserve(total);  // no reallocation: the views below stay valid
  keyViews.clear();
  for (const ApplicationInfo& app : items) {
    if (app.DisplayName.empty()) continue;
    const std::size_t start = applicationKeys.size();
    applicationKeys.append(app.DisplayName).push_back('\0');
    applicationKeys.append(app.Publisher).push_back('\0');
    applicationKeys.append(app.DisplayVersion);
    keyViews.emplace_back(applicationKeys.data() + start, applicationKeys.size() - start);
  }
  std::vector<std::int64_t> ids;
  recordedIds.findMany(keyViews, ids);
  std::size_t k = 0;
  for (const ApplicationInfo& app : items) {
    if (app.DisplayName.empty()) continue;
    if (ids[k] < 0) {
      Expected<qlonglong> name = nameIdOf(app.DisplayName, app.Publisher);
      if (!name) return name.status();
      Expected<qlonglong> version = versionIdOf(*name, utf8(app.DisplayVersion));
      if (!version) return version.status();
      recordedIds.insert(keyViews[k], *version);
      ids[k] = *version;
    }
    ++k;
  }
  out.assign(ids.begin(), ids.end());
  return Status::Ok();
}

Status AuditIndex::Impl::describe(const std::vector<qlonglong>& ids, std::vector<IndexedApplication>& out) {
  QSqlQuery& read = cached(
      "SELECT n.name, v.version, n.publisher FROM app_versions v JOIN app_names n ON n.id = v.name_id WHERE v.id = ?");
  for (const qlonglong id : ids) {
    auto it = versionTexts.find(id);
    if (it == versionTexts.end()) {
      read.addBindValue(id);
      if (Status st = run(read, "reading an application version"); !st) return st;
      if (!read.next()) return Status::Error(kErrIndexDatabase, "Index database: an application list names no version");
      it = versionTexts.emplace(id, IndexedApplication{s(read.value(0)), s(read.value(1)), s(read.value(2))}).first;
      read.finish();
    }
    out.push_back(it->second);
  }
  return Status::Ok();
}

Expected<std::vector<qlonglong>> AuditIndex::Impl::readAppList(qlonglong machineId) {
  QSqlQuery& read = cached("SELECT apps FROM machine_apps WHERE machine_id = ?");
  read.addBindValue(machineId);
  if (Status st = run(read, "reading an application list"); !st) return st;
  const std::string blob = read.next() ? read.value(0).toByteArray().toStdString() : std::string();
  read.finish();
  Expected<std::vector<std::int64_t>> ids = unpackIds(blob);
  if (!ids) return Status::Error(kErrIndexDatabase, "Index database: " + ids.status().description());
  return std::vector<qlonglong>(ids->begin(), ids->end());
}

Status AuditIndex::Impl::writeAppList(qlonglong machineId, const std::vector<qlonglong>& ids) {
  QSqlQuery& write = cached(
      "INSERT INTO machine_apps (machine_id, apps) VALUES (?, ?)"
      " ON CONFLICT (machine_id) DO UPDATE SET apps = excluded.apps");
  write.addBindValue(machineId);
  write.addBindValue(QByteArray::fromStdString(packIds(std::vector<std::int64_t>(ids.begin(), ids.end()))));
  return run(write, "writing an application list");
}

// The search lists: per application version, the machines that have it, in
// chunks of a bounded size so that a change rewrites little.
Status AuditIndex::Impl::addToSearch(qlonglong versionId, const std::vector<qlonglong>& machineIds) {
  QSqlQuery& last = cached("SELECT chunk, machines FROM app_machines WHERE version_id = ? ORDER BY chunk DESC LIMIT 1");
  last.addBindValue(versionId);
  if (Status st = run(last, "reading a search list"); !st) return st;
  int chunk = -1;
  std::string blob;
  if (last.next()) chunk = last.value(0).toInt(), blob = last.value(1).toByteArray().toStdString();
  last.finish();
  const bool extend = chunk >= 0 && blob.size() < kChunkBytes;  // else all go to new chunks
  if (!extend) blob.clear();
  int writing = extend ? chunk : chunk + 1;
  for (std::size_t i = 0; i < machineIds.size(); ++i) {
    appendPackedId(blob, machineIds[i]);
    if (blob.size() < kChunkBytes && i + 1 < machineIds.size()) continue;
    const bool update = extend && writing == chunk;
    QSqlQuery& write = cached(update ? "UPDATE app_machines SET machines = ? WHERE version_id = ? AND chunk = ?"
                                     : "INSERT INTO app_machines (machines, version_id, chunk) VALUES (?, ?, ?)");
    write.addBindValue(QByteArray::fromStdString(blob)), write.addBindValue(versionId), write.addBindValue(writing);
    if (Status st = run(write, "writing a search list"); !st) return st;
    blob.clear();
    ++writing;
  }
  return Status::Ok();
}

Status AuditIndex::Impl::removeFromSearch(qlonglong versionId, qlonglong machineId) {
  QSqlQuery& all = cached("SELECT chunk, machines FROM app_machines WHERE version_id = ?");
  all.addBindValue(versionId);
  if (Status st = run(all, "reading a search list"); !st) return st;
  int chunk = -1;
  std::string blob;
  while (chunk < 0 && all.next()) {
    blob = all.value(1).toByteArray().toStdString();
    if (removePackedId(blob, machineId)) chunk = all.value(0).toInt();
  }
  all.finish();
  if (chunk < 0) return Status::Ok();  // not listed: nothing to take back
  QSqlQuery& write = cached(blob.empty() ? "DELETE FROM app_machines WHERE version_id = ? AND chunk = ?"
                                         : "UPDATE app_machines SET machines = ? WHERE version_id = ? AND chunk = ?");
  if (!blob.empty()) write.addBindValue(QByteArray::fromStdString(blob));
  write.addBindValue(versionId), write.addBindValue(chunk);
  return run(write, "writing a search list");
}

// A machine's list went from `before` to `after` (a bag: duplicates count).
// Noted for the commit, where what one transaction added and took back
// cancels out and each version's list is written once.
Status AuditIndex::Impl::updateSearch(qlonglong machineId, std::vector<qlonglong> before, std::vector<qlonglong> after) {
  if (bulk) return Status::Ok();
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  std::vector<qlonglong> gone, added;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  for (const qlonglong id : gone) --searchDelta[{id, machineId}];
  for (const qlonglong id : added) ++searchDelta[{id, machineId}];
  return Status::Ok();
}

Status AuditIndex::Impl::flushSearch() {
  std::map<std::pair<qlonglong, qlonglong>, int> delta;
  delta.swap(searchDelta);
  for (auto it = delta.begin(); it != delta.end();) {
    const qlonglong versionId = it->first.first;
    std::vector<qlonglong> added;
    for (; it != delta.end() && it->first.first == versionId; ++it) {
      for (int n = it->second; n < 0; ++n) {
        if (Status st = removeFromSearch(versionId, it->first.second); !st) return st;
      }
      added.insert(added.end(), static_cast<std::size_t>(std::max(it->second, 0)), it->first.second);
    }
    if (added.empty()) continue;
    if (Status st = addToSearch(versionId, added); !st) return st;
  }
  return Status::Ok();
}

// All search lists again from the machines' application lists, in one
// transaction: a run stopped in between leaves no table, and open() builds it.
// Read and written in one write transaction: lists read before another
// process's commit and written after it would lose that commit's changes.
Status AuditIndex::Impl::buildSearchLists() {
  statements.clear();  // some name the table dropped here
  if (Status st = beginWrite("starting the search lists"); !st) return st;
  if (Status st = rebuildSearchLists(); !st) {
    db().rollback();
    return st;
  }
  if (!db().commit()) return failed(db().lastError(), "committing the search lists");
  return Status::Ok();
}

Status AuditIndex::Impl::rebuildSearchLists() {
  QSqlQuery top = prepare("SELECT MAX(id) FROM app_versions");
  if (Status st = run(top, "reading application versions"); !st) return st;
  const qlonglong maxId = top.next() ? top.value(0).toLongLong() : 0;
  top.finish();
  // Version ids are generated keys, so dense: their chunks are found by index.
  std::vector<std::vector<std::string>> chunks(static_cast<std::size_t>(std::max<qlonglong>(maxId, 0)) + 1);
  QSqlQuery lists = prepare("SELECT machine_id, apps FROM machine_apps ORDER BY machine_id");
  if (Status st = run(lists, "reading application lists"); !st) return st;
  while (lists.next()) {
    const qlonglong machineId = lists.value(0).toLongLong();
    Expected<std::vector<std::int64_t>> ids = unpackIds(lists.value(1).toByteArray().toStdString());
    if (!ids) return Status::Error(kErrIndexDatabase, "Index database: " + ids.status().description());
    for (const std::int64_t id : *ids) {
      if (id < 0 || id > maxId) return Status::Error(kErrIndexDatabase, "Index database: an application list names no version");
      std::vector<std::string>& c = chunks[static_cast<std::size_t>(id)];
      if (c.empty() || c.back().size() >= kChunkBytes) c.emplace_back();
      appendPackedId(c.back(), machineId);
    }
  }
  lists.finish();
  Status st = exec("DROP TABLE IF EXISTS app_machines");
  if (st) st = exec(dialect(kCreateSearchLists));
  QSqlQuery insert = prepare("INSERT INTO app_machines (version_id, chunk, machines) VALUES (?, ?, ?)");
  for (std::size_t id = 0; st && id < chunks.size(); ++id) {
    for (std::size_t n = 0; st && n < chunks[id].size(); ++n) {
      insert.addBindValue(static_cast<qlonglong>(id)), insert.addBindValue(static_cast<int>(n));
      insert.addBindValue(QByteArray::fromStdString(chunks[id][n]));
      st = run(insert, "writing the search lists");
    }
  }
  return st;
}

Status AuditIndex::Impl::loadSnapshot(qlonglong machineId, MachineSnapshot& out) {
  QSqlQuery& m = cached("SELECT os, processor, memory FROM machines WHERE id = ?");
  m.addBindValue(machineId);
  if (Status st = run(m, "reading a machine"); !st) return st;
  if (m.next()) {
    out.os = s(m.value(0)), out.processor = s(m.value(1)), out.memory = s(m.value(2));
  }
  m.finish();
  QSqlQuery& d = cached("SELECT name, size FROM drives WHERE machine_id = ?");
  d.addBindValue(machineId);
  if (Status st = run(d, "reading drives"); !st) return st;
  while (d.next()) out.drives[s(d.value(0))] = s(d.value(1));
  d.finish();
  return Status::Ok();
}

std::vector<IndexedApplication> utf8Applications(const AuditRecord& record) {
  std::vector<IndexedApplication> out;
  for (const ApplicationInfo& app : record.Software.Applications) {
    if (!app.DisplayName.empty()) out.push_back({utf8(app.DisplayName), utf8(app.DisplayVersion), utf8(app.Publisher)});
  }
  return out;
}

// Snapshot texts are UTF-8 here, as the database holds them; applications
// are left out (they are compared by id first).
MachineSnapshot utf8Summary(const AuditRecord& record) {
  MachineSnapshot snap = snapshotOf(record, false);
  snap.os = utf8(snap.os), snap.processor = utf8(snap.processor), snap.memory = utf8(snap.memory);
  std::map<std::string, std::string> drives;
  for (const auto& [name, size] : snap.drives) drives[utf8(name)] = utf8(size);
  snap.drives = std::move(drives);
  return snap;
}

bool sameBag(std::vector<qlonglong> a, std::vector<qlonglong> b) {
  if (a.size() != b.size()) return false;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

// Adds the changes from the machine stored as `machineId` to `record` (whose
// summary is `now`) to `out`; `before` receives the stored summary.
// Application texts are read only when the lists differ.
Status AuditIndex::Impl::diffAgainst(qlonglong machineId, const std::vector<qlonglong>& appsBefore,
                                     const AuditRecord& record, const std::vector<qlonglong>& apps,
                                     MachineSnapshot now, MachineSnapshot& before, std::vector<AuditChange>& out) {
  if (Status st = loadSnapshot(machineId, before); !st) return st;
  if (!sameBag(appsBefore, apps)) {
    if (Status st = describe(appsBefore, before.applications); !st) return st;
    now.applications = utf8Applications(record);
  }
  const std::vector<AuditChange> diff = diffSnapshots(before, now);
  out.insert(out.end(), diff.begin(), diff.end());
  before.applications.clear();
  return Status::Ok();
}

Status AuditIndex::Impl::writeDrives(qlonglong machineId, const std::map<std::string, std::string>& stored,
                                     const MachineSnapshot& now) {
  if (stored == now.drives) return Status::Ok();
  if (!stored.empty()) {  // `stored` is what the table holds for the machine
    QSqlQuery& clear = cached("DELETE FROM drives WHERE machine_id = ?");
    clear.addBindValue(machineId);
    if (Status st = run(clear, "clearing drives"); !st) return st;
  }
  QSqlQuery& drive = cached("INSERT INTO drives (machine_id, name, size) VALUES (?, ?, ?)");
  for (const auto& [name, size] : now.drives) {
    drive.addBindValue(machineId), drive.addBindValue(q(name)), drive.addBindValue(q(size));
    if (Status st = run(drive, "writing a drive"); !st) return st;
  }
  return Status::Ok();
}

Status AuditIndex::Impl::updateMachine(qlonglong id, qlonglong identity, const AuditRecord& record,
                                       const MachineSnapshot& now, std::int64_t storedAtMs) {
  const NetworkInfo& net = record.Hardware.Network;
  QSqlQuery& update = cached(
      "UPDATE machines SET identity = ?, host_name = ?, domain = ?, windows_id = ?, last_seen = ?, stored_at = ?,"
      " audit_date = ?, os = ?, processor = ?, memory = ?, drives = ? WHERE id = ?");
  for (const QVariant& v : {QVariant(identity), QVariant(q(utf8(net.Hostname))), QVariant(q(utf8(net.DomainName))),
                            QVariant(q(utf8(record.Software.Windows.WindowsID))), QVariant(qlonglong{storedAtMs}),
                            QVariant(qlonglong{storedAtMs}), QVariant(q(utf8(record.AuditDate))), QVariant(q(now.os)),
                            QVariant(q(now.processor)), QVariant(q(now.memory)), QVariant(q(drivesText(now))),
                            QVariant(id)}) {
    update.addBindValue(v);
  }
  return run(update, "updating a machine");
}

Status AuditIndex::Impl::addChanges(qlonglong identity, const std::string& address, const std::string& auditDate,
                                    std::int64_t receivedMs, const std::vector<AuditChange>& changes) {
  QSqlQuery& add = cached(
      "INSERT INTO changes (identity, address, audit_date, received, kind, subject, old_value, new_value)"
      " VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  for (const AuditChange& c : changes) {
    add.addBindValue(identity), add.addBindValue(q(address)), add.addBindValue(q(auditDate));
    add.addBindValue(qlonglong{receivedMs}), add.addBindValue(q(c.kind)), add.addBindValue(q(c.subject));
    add.addBindValue(q(c.oldValue)), add.addBindValue(q(c.newValue));
    if (Status st = run(add, "writing a change"); !st) return st;
  }
  return Status::Ok();
}

// A new audit of a machine indexed at this address before.
Status AuditIndex::Impl::indexKnown(qlonglong id, qlonglong identity, const std::string& address,
                                    const AuditRecord& record, const std::vector<qlonglong>& apps,
                                    std::int64_t storedAtMs) {
  Expected<std::vector<qlonglong>> appsBefore = readAppList(id);
  if (!appsBefore) return appsBefore.status();
  const MachineSnapshot now = utf8Summary(record);
  MachineSnapshot before;
  std::vector<AuditChange> changes;
  if (Status st = diffAgainst(id, *appsBefore, record, apps, now, before, changes); !st) return st;
  if (Status st = updateMachine(id, identity, record, now, storedAtMs); !st) return st;
  if (Status st = writeDrives(id, before.drives, now); !st) return st;
  if (!sameBag(*appsBefore, apps)) {
    if (Status st = writeAppList(id, apps); !st) return st;
    if (Status st = updateSearch(id, std::move(*appsBefore), apps); !st) return st;
  }
  return addChanges(identity, address, utf8(record.AuditDate), storedAtMs, changes);
}

// An address seen for the first time: a new machine, or one that moved here
// (the same WindowsID and host name, current elsewhere).
Status AuditIndex::Impl::indexNew(const std::string& address, const AuditRecord& record,
                                  const std::vector<qlonglong>& apps, std::int64_t storedAtMs) {
  const std::string windowsId = utf8(record.Software.Windows.WindowsID);
  qlonglong fromId = 0, identity = 0;
  std::string fromAddress;
  if (!isUnknown(windowsId)) {
    QSqlQuery& from = cached(
        "SELECT id, identity, address FROM machines WHERE windows_id = ? AND host_name = ?"
        " AND moved_to IS NULL AND address <> ? ORDER BY last_seen DESC");
    from.addBindValue(q(windowsId)), from.addBindValue(q(utf8(record.Hardware.Network.Hostname)));
    from.addBindValue(q(address));
    if (Status st = run(from, "looking for a moved machine"); !st) return st;
    if (from.next()) fromId = from.value(0).toLongLong(), identity = from.value(1).toLongLong(), fromAddress = s(from.value(2));
    from.finish();
  }
  QSqlQuery& add = cached(
      "INSERT INTO machines (address, identity, first_seen, last_seen, stored_at) VALUES (?, ?, ?, ?, ?) RETURNING id");
  add.addBindValue(q(address)), add.addBindValue(identity), add.addBindValue(qlonglong{storedAtMs});
  add.addBindValue(qlonglong{storedAtMs}), add.addBindValue(qlonglong{storedAtMs});
  if (Status st = run(add, "adding a machine"); !st) return st;
  if (!add.next()) return Status::Error(kErrIndexDatabase, "Index database: no key for a new machine");
  const qlonglong id = add.value(0).toLongLong();
  add.finish();
  const MachineSnapshot now = utf8Summary(record);
  std::vector<AuditChange> changes;
  if (fromId == 0) {
    identity = id;
  } else {
    Expected<std::vector<qlonglong>> fromApps = readAppList(fromId);
    if (!fromApps) return fromApps.status();
    MachineSnapshot before;
    changes.push_back({std::string(change::kMoved), fromAddress, fromAddress, address});
    if (Status st = diffAgainst(fromId, *fromApps, record, apps, now, before, changes); !st) return st;
    QSqlQuery& mark = cached("UPDATE machines SET moved_to = ? WHERE id = ?");
    mark.addBindValue(q(address)), mark.addBindValue(fromId);
    if (Status st = run(mark, "marking a machine moved"); !st) return st;
    QSqlQuery& drop = cached("DELETE FROM machine_apps WHERE machine_id = ?");  // latest lists only
    drop.addBindValue(fromId);
    if (Status st = run(drop, "clearing a moved machine's applications"); !st) return st;
    if (Status st = updateSearch(fromId, std::move(*fromApps), {}); !st) return st;
  }
  if (Status st = updateMachine(id, identity, record, now, storedAtMs); !st) return st;
  if (Status st = writeDrives(id, {}, now); !st) return st;
  if (Status st = writeAppList(id, apps); !st) return st;
  if (Status st = updateSearch(id, {}, apps); !st) return st;
  return addChanges(identity, address, utf8(record.AuditDate), storedAtMs, changes);
}

// The versions of the named applications that match the query's operator.
Expected<std::unordered_map<qlonglong, MatchedVersion>> AuditIndex::Impl::matchingVersions(
    const std::unordered_map<qlonglong, std::pair<std::string, std::string>>& names, const FindQuery& fq) {
  std::vector<qlonglong> ids;
  for (const auto& entry : names) ids.push_back(entry.first);
  QSqlQuery query = prepare("SELECT id, name_id, version FROM app_versions WHERE name_id IN (" + idText(ids) + ")");
  if (Status st = run(query, "finding application versions"); !st) return st;
  std::unordered_map<qlonglong, MatchedVersion> out;
  while (query.next()) {
    std::string version = s(query.value(2));
    if (versionMatches(version, fq.op, fq.version)) {
      out[query.value(0).toLongLong()] = {query.value(1).toLongLong(), std::move(version)};
    }
  }
  return out;
}

// (machine id, version id) of every machine listed for one of `versions`.
Expected<std::vector<std::pair<qlonglong, qlonglong>>> AuditIndex::Impl::machinesWith(
    const std::unordered_map<qlonglong, MatchedVersion>& versions) {
  std::vector<std::pair<qlonglong, qlonglong>> out;
  if (versions.empty()) return out;
  std::vector<qlonglong> ids;
  for (const auto& entry : versions) ids.push_back(entry.first);
  QSqlQuery query = prepare("SELECT version_id, machines FROM app_machines WHERE version_id IN (" + idText(ids) + ")");
  if (Status st = run(query, "reading the search lists"); !st) return st;
  while (query.next()) {
    const qlonglong versionId = query.value(0).toLongLong();
    Expected<std::vector<std::int64_t>> machines = unpackIds(query.value(1).toByteArray().toStdString());
    if (!machines) return Status::Error(kErrIndexDatabase, "Index database: " + machines.status().description());
    for (const std::int64_t m : *machines) out.emplace_back(m, versionId);
  }
  return out;
}

// Address, host name and domain of the machines of `hits` that have not moved.
Expected<std::unordered_map<qlonglong, FoundApplication>> AuditIndex::Impl::currentMachines(
    const std::vector<std::pair<qlonglong, qlonglong>>& hits) {
  std::unordered_map<qlonglong, FoundApplication> out;
  if (hits.empty()) return out;
  std::vector<qlonglong> ids;
  for (const auto& hit : hits) ids.push_back(hit.first);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  QSqlQuery query = prepare("SELECT id, address, host_name, domain FROM machines WHERE moved_to IS NULL AND id IN (" +
                            idText(ids) + ")");
  if (Status st = run(query, "reading machines"); !st) return st;
  while (query.next()) {
    FoundApplication& m = out[query.value(0).toLongLong()];
    m.address = s(query.value(1)), m.hostName = s(query.value(2)), m.domain = s(query.value(3));
  }
  return out;
}

// An audit older than the one indexed for the address is skipped (a late job
// after the catch-up took the newer file); one as old is compared again.
Status AuditIndex::Impl::indexOne(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs) {
  std::vector<qlonglong> apps;
  if (Status st = applicationIds(record, apps); !st) return st;
  QSqlQuery& find = cached("SELECT id, identity, stored_at FROM machines WHERE address = ?");
  find.addBindValue(q(address));
  if (Status st = run(find, "looking up a machine"); !st) return st;
  if (!find.next()) {
    find.finish();
    return indexNew(address, record, apps, storedAtMs);
  }
  const qlonglong id = find.value(0).toLongLong(), identity = find.value(1).toLongLong();
  const bool newerIndexed = find.value(2).toLongLong() > storedAtMs;
  find.finish();
  if (newerIndexed) return Status::Ok();
  return indexKnown(id, identity, address, record, apps, storedAtMs);
}

std::vector<MachineEntry> AuditIndex::Impl::machineRows(QSqlQuery& query) {
  std::vector<MachineEntry> rows;
  while (query.next()) {
    MachineEntry m;
    m.address = s(query.value(0)), m.hostName = s(query.value(1)), m.domain = s(query.value(2));
    m.windowsId = s(query.value(3)), m.auditDate = s(query.value(4)), m.os = s(query.value(5));
    m.processor = s(query.value(6)), m.memory = s(query.value(7)), m.drives = s(query.value(8));
    m.firstSeenMs = query.value(9).toLongLong(), m.lastSeenMs = query.value(10).toLongLong();
    m.movedTo = s(query.value(11)), m.identity = query.value(12).toLongLong();
    rows.push_back(std::move(m));
  }
  return rows;
}

constexpr const char* kMachineColumns =
    "SELECT address, host_name, domain, windows_id, audit_date, os, processor, memory, drives, first_seen,"
    " last_seen, moved_to, identity FROM machines ";

AuditIndex::AuditIndex(IndexDatabase where) : d_(std::make_unique<Impl>()) {
  d_->where = std::move(where);
  d_->connection = QString("quorvane-index-%1").arg(connectionSerial++);
}

AuditIndex::~AuditIndex() {
  d_->statements.clear();
  const QString name = d_->connection;
  if (QSqlDatabase::contains(name)) {
    {
      QSqlDatabase db = QSqlDatabase::database(name, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(name);
  }
}

int AuditIndex::schemaVersion() { return static_cast<int>(migrations().size()); }

bool AuditIndex::isOpen() const { return QSqlDatabase::contains(d_->connection) && d_->db().isOpen(); }

Status AuditIndex::open() {
  const IndexDatabase& w = d_->where;
  const bool pg = d_->postgres();
  if (!QSqlDatabase::contains(d_->connection)) {
    QSqlDatabase::addDatabase(pg ? "QPSQL" : "QSQLITE", d_->connection);
  }
  QSqlDatabase db = d_->db();
  if (!db.isValid()) {
    return Status::Error(kErrIndexDatabase, std::string("Index database: no Qt SQL driver for ") +
                                                (pg ? "PostgreSQL (libqt6sql6-psql)" : "SQLite (libqt6sql6-sqlite)"));
  }
  if (pg) {
    db.setHostName(q(w.host)), db.setDatabaseName(q(w.name)), db.setUserName(q(w.user));
    db.setPassword(q(w.password));
    if (w.port > 0) db.setPort(w.port);
    db.setConnectOptions("connect_timeout=5");
  } else {
    db.setDatabaseName(q(w.sqlitePath));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
  }
  if (!db.open()) return d_->failed(db.lastError(), "cannot open");
  if (!pg) {
    if (Status st = d_->useWriteAheadLog(); !st) return st;
    for (const char* pragma : {"PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-65536", "PRAGMA temp_store=MEMORY"}) {
      if (Status st = d_->exec(pragma); !st) return st;
    }
  } else {
    if (Status st = d_->exec("SET client_min_messages TO WARNING"); !st) return st;
  }
  d_->forgetIds();
  d_->statements.clear();
  d_->bulk = false;
  if (Status st = d_->migrate(); !st) return st;
  if (d_->db().tables().contains("app_machines")) return Status::Ok();
  return d_->buildSearchLists();  // a new index, or after an interrupted bulk build
}

Status AuditIndex::beginBulk() {
  d_->statements.clear();  // some name the table dropped here
  d_->bulk = true;
  return d_->exec("DROP TABLE IF EXISTS app_machines");
}

Status AuditIndex::endBulk() {
  d_->bulk = false;
  return d_->buildSearchLists();
}

Status AuditIndex::beginBatch() {
  if (Status st = d_->beginWrite("starting a transaction"); !st) return st;
  d_->batch = true;
  return Status::Ok();
}

Status AuditIndex::commitBatch() {
  d_->batch = false;
  if (Status st = d_->flushSearch(); !st) {
    d_->db().rollback();
    d_->forgetIds();
    return st;
  }
  if (!d_->db().commit()) {
    const Status st = d_->failed(d_->db().lastError(), "committing");
    d_->db().rollback();
    d_->forgetIds();
    return st;
  }
  return Status::Ok();
}

void AuditIndex::rollbackBatch() {
  d_->batch = false;
  d_->db().rollback();
  d_->forgetIds();  // ids added in the batch are gone
}

Status AuditIndex::indexAudit(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs) {
  if (d_->batch) return d_->indexOne(address, record, storedAtMs);
  if (Status st = beginBatch(); !st) return st;
  if (Status st = d_->indexOne(address, record, storedAtMs); !st) {
    rollbackBatch();
    return st;
  }
  return commitBatch();
}

Expected<std::map<std::string, std::int64_t>> AuditIndex::indexedTimes() {
  QSqlQuery query = d_->prepare("SELECT address, stored_at FROM machines");
  if (Status st = d_->run(query, "listing machines"); !st) return st;
  std::map<std::string, std::int64_t> out;
  while (query.next()) out[s(query.value(0))] = query.value(1).toLongLong();
  return out;
}

// Three small steps, none of which scans every machine's applications: the
// matching names, their versions that match the operator, and the search
// lists of those versions.
Expected<std::vector<FoundApplication>> AuditIndex::find(const FindQuery& fq) {
  QString pattern = q(fq.name).toLower();
  pattern.replace("\\", "\\\\").replace("%", "\\%").replace("_", "\\_");
  QSqlQuery names = d_->prepare("SELECT id, name, publisher FROM app_names WHERE name_lower LIKE ? ESCAPE '\\'");
  names.addBindValue("%" + pattern + "%");
  if (Status st = d_->run(names, "finding application names"); !st) return st;
  std::unordered_map<qlonglong, std::pair<std::string, std::string>> nameOf;
  while (names.next()) nameOf[names.value(0).toLongLong()] = {s(names.value(1)), s(names.value(2))};
  std::vector<FoundApplication> out;
  if (nameOf.empty()) return out;
  Expected<std::unordered_map<qlonglong, MatchedVersion>> versions = d_->matchingVersions(nameOf, fq);
  if (!versions) return versions.status();
  Expected<std::vector<std::pair<qlonglong, qlonglong>>> hits = d_->machinesWith(*versions);
  if (!hits) return hits.status();
  Expected<std::unordered_map<qlonglong, FoundApplication>> machines = d_->currentMachines(*hits);
  if (!machines) return machines.status();
  for (const auto& [machineId, versionId] : *hits) {
    const auto m = machines->find(machineId);
    if (m == machines->end()) continue;
    const MatchedVersion& v = versions->at(versionId);
    const auto& [name, publisher] = nameOf.at(v.nameId);
    out.push_back({m->second.address, m->second.hostName, m->second.domain, name, v.version, publisher});
  }
  std::sort(out.begin(), out.end(), [](const FoundApplication& a, const FoundApplication& b) {
    return std::tie(a.address, a.application, a.version) < std::tie(b.address, b.application, b.version);
  });
  return out;
}

Expected<std::vector<ChangeEntry>> AuditIndex::history(const std::string& address, std::int64_t sinceMs) {
  QSqlQuery query = d_->prepare(
      "SELECT c.address, c.audit_date, c.received, c.kind, c.subject, c.old_value, c.new_value FROM changes c"
      " WHERE c.identity = (SELECT identity FROM machines WHERE address = ?) AND c.received >= ?"
      " ORDER BY c.received DESC, c.id ASC");
  query.addBindValue(q(address)), query.addBindValue(qlonglong{sinceMs});
  if (Status st = d_->run(query, "reading the change log"); !st) return st;
  std::vector<ChangeEntry> out;
  while (query.next()) {
    out.push_back({s(query.value(0)), s(query.value(1)), query.value(2).toLongLong(),
                   {s(query.value(3)), s(query.value(4)), s(query.value(5)), s(query.value(6))}});
  }
  return out;
}

Expected<std::vector<MachineEntry>> AuditIndex::stale(int days, std::int64_t nowMs) {
  QSqlQuery query = d_->prepare(
      (std::string(kMachineColumns) + "WHERE moved_to IS NULL AND last_seen < ? ORDER BY last_seen, address").c_str());
  query.addBindValue(qlonglong{nowMs - std::int64_t{days} * 86'400'000});
  if (Status st = d_->run(query, "listing stale machines"); !st) return st;
  return d_->machineRows(query);
}

Expected<std::vector<MachineEntry>> AuditIndex::moved() {
  QSqlQuery query = d_->prepare((std::string(kMachineColumns) +
                                 "WHERE identity IN (SELECT identity FROM machines GROUP BY identity"
                                 " HAVING COUNT(*) > 1) ORDER BY identity, first_seen, address")
                                    .c_str());
  if (Status st = d_->run(query, "listing moved machines"); !st) return st;
  return d_->machineRows(query);
}

Expected<std::optional<MachineEntry>> AuditIndex::machine(const std::string& address) {
  QSqlQuery query = d_->prepare((std::string(kMachineColumns) + "WHERE address = ?").c_str());
  query.addBindValue(q(address));
  if (Status st = d_->run(query, "reading a machine"); !st) return st;
  std::vector<MachineEntry> rows = d_->machineRows(query);
  if (rows.empty()) return std::optional<MachineEntry>{};
  return std::optional<MachineEntry>(std::move(rows.front()));
}

Status AuditIndex::logCommand(const CommandLogEntry& e) {
  QSqlQuery& add = d_->cached("INSERT INTO command_log (sent, target, caption, result) VALUES (?, ?, ?, ?)");
  add.addBindValue(qlonglong{e.sentMs}), add.addBindValue(q(e.target));
  add.addBindValue(q(e.caption)), add.addBindValue(q(e.result));
  return d_->run(add, "writing the command log");
}

Expected<std::vector<CommandLogEntry>> AuditIndex::commandLog(std::int64_t sinceMs) {
  QSqlQuery query = d_->prepare(
      "SELECT sent, target, caption, result FROM command_log WHERE sent >= ? ORDER BY sent DESC, id DESC");
  query.addBindValue(qlonglong{sinceMs});
  if (Status st = d_->run(query, "reading the command log"); !st) return st;
  std::vector<CommandLogEntry> out;
  while (query.next()) {
    out.push_back({query.value(0).toLongLong(), s(query.value(1)), s(query.value(2)), s(query.value(3))});
  }
  return out;
}

}  // namespace quorvane
