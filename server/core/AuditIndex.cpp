#include "server/core/AuditIndex.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <tuple>
#include <unordered_map>

#include "common/Text8.h"

namespace quorvane {
namespace {

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string s(const QVariant& v) { return v.toString().toStdString(); }
std::string utf8(const std::string& text1252) { return windows1252ToUtf8(text1252); }

// Statements of each schema version; {ID} is the dialect's generated key.
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
  };
  return steps;
}

std::atomic<int> connectionSerial{0};

const QString kCreateNameIndex = "CREATE INDEX IF NOT EXISTS applications_name ON applications (name_id)";

// A JSON string of UTF-8 text (the texts were converted from the record's
// code page, so they are valid UTF-8).
void appendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\', out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
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
  std::unordered_map<std::string, qlonglong> nameIds;  // name NUL publisher -> app_names.id
  std::string nameKey;  // reused for lookups: no allocation per application
  std::unordered_map<std::string, QSqlQuery> statements;  // the writer's, prepared once per connection

  QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
  bool postgres() const { return where.kind == IndexDatabase::Kind::PostgreSQL; }

  Status failed(const QSqlError& e, const char* what) const {
    return Status::Error(kErrIndexDatabase, std::string("Index database: ") + what + ": " + e.text().toStdString());
  }
  Status failed(const QSqlQuery& query, const char* what) const { return failed(query.lastError(), what); }

  Status exec(const QString& sql) const {
    QSqlQuery query(db());
    if (!query.exec(sql)) return failed(query, "statement failed");
    return Status::Ok();
  }

  QSqlQuery prepare(const char* sql) const {
    QSqlQuery query(db());
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(sql));
    return query;
  }

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

  Status migrate();
  Expected<qlonglong> nameId(const IndexedApplication& app);
  Status insertApplications(qlonglong machineId, const std::vector<IndexedApplication>& apps);
  Status loadSnapshot(qlonglong machineId, MachineSnapshot& out);
  Status writeLatest(qlonglong machineId, const MachineSnapshot& snap, bool sameApplications);
  Status addChanges(qlonglong identity, const std::string& address, const std::string& auditDate,
                    std::int64_t receivedMs, const std::vector<AuditChange>& changes);
  Status indexOne(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs);
  std::vector<MachineEntry> machineRows(QSqlQuery& query);
};

Status AuditIndex::Impl::migrate() {
  const QString id = postgres() ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
  const QString clustered = postgres() ? "" : "WITHOUT ROWID";
  if (Status st = exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"); !st) return st;
  QSqlQuery read(db());
  if (!read.exec("SELECT version FROM schema_version")) return failed(read, "reading the schema version");
  const bool hasRow = read.next();
  int version = hasRow ? read.value(0).toInt() : 0;
  read.finish();
  if (!hasRow) {
    if (Status st = exec("INSERT INTO schema_version (version) VALUES (0)"); !st) return st;
  }
  const int known = static_cast<int>(migrations().size());
  if (version > known) {
    return Status::Error(kErrIndexDatabase, "Index database: schema version " + std::to_string(version) +
                                                " is newer than this program's " + std::to_string(known));
  }
  for (; version < known; ++version) {
    if (!db().transaction()) return failed(db().lastError(), "starting the migration");
    for (const char* statement : migrations()[static_cast<std::size_t>(version)]) {
      if (Status st = exec(QString::fromLatin1(statement).replace("{ID}", id).replace("{CLUSTERED}", clustered)); !st) {
        db().rollback();
        return st;
      }
    }
    const QString mark = "UPDATE schema_version SET version = %1";
    if (Status st = exec(mark.arg(version + 1)); !st) {
      db().rollback();
      return st;
    }
    if (!db().commit()) return failed(db().lastError(), "committing the migration");
  }
  return Status::Ok();
}

Expected<qlonglong> AuditIndex::Impl::nameId(const IndexedApplication& app) {
  nameKey.assign(app.name).push_back('\0');
  nameKey.append(app.publisher);
  if (auto it = nameIds.find(nameKey); it != nameIds.end()) return it->second;
  const std::string key = nameKey;
  QSqlQuery& find = cached("SELECT id FROM app_names WHERE name = ? AND publisher = ?");
  find.addBindValue(q(app.name)), find.addBindValue(q(app.publisher));
  if (Status st = run(find, "looking up an application name"); !st) return st;
  if (find.next()) {
    const qlonglong id = find.value(0).toLongLong();
    find.finish();
    return nameIds[key] = id;
  }
  QSqlQuery& add = cached("INSERT INTO app_names (name, publisher, name_lower) VALUES (?, ?, ?) RETURNING id");
  add.addBindValue(q(app.name)), add.addBindValue(q(app.publisher)), add.addBindValue(q(app.name).toLower());
  if (Status st = run(add, "adding an application name"); !st) return st;
  if (!add.next()) return Status::Error(kErrIndexDatabase, "Index database: no key for a new application name");
  const qlonglong id = add.value(0).toLongLong();
  add.finish();
  return nameIds[key] = id;
}

// All rows in one statement, from one JSON array of [name id, version]: the
// cost of binding values one by one would dominate a row's.
Status AuditIndex::Impl::insertApplications(qlonglong machineId, const std::vector<IndexedApplication>& apps) {
  if (apps.empty()) return Status::Ok();
  std::string rows = "[";
  for (const IndexedApplication& app : apps) {
    Expected<qlonglong> nid = nameId(app);
    if (!nid) return nid.status();
    if (rows.size() > 1) rows += ',';
    rows += '[' + std::to_string(*nid) + ',';
    appendJsonString(rows, app.version);
    rows += ']';
  }
  rows += ']';
  QSqlQuery& insert = cached(
      postgres() ? "INSERT INTO applications (machine_id, seq, name_id, version)"
                   " SELECT ?, t.n - 1, (t.e->>0)::bigint, t.e->>1"
                   " FROM json_array_elements(?::json) WITH ORDINALITY AS t(e, n)"
                 : "INSERT INTO applications (machine_id, seq, name_id, version)"
                   " SELECT ?, key, value->>0, value->>1 FROM json_each(?)");
  insert.addBindValue(machineId);
  insert.addBindValue(q(rows));
  return run(insert, "writing applications");
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
  QSqlQuery& a = cached(
      "SELECT n.name, a.version, n.publisher FROM applications a JOIN app_names n ON n.id = a.name_id"
      " WHERE a.machine_id = ?");
  a.addBindValue(machineId);
  if (Status st = run(a, "reading applications"); !st) return st;
  while (a.next()) out.applications.push_back({s(a.value(0)), s(a.value(1)), s(a.value(2))});
  a.finish();
  return Status::Ok();
}

Status AuditIndex::Impl::writeLatest(qlonglong machineId, const MachineSnapshot& snap, bool sameApplications) {
  QSqlQuery& clearDrives = cached("DELETE FROM drives WHERE machine_id = ?");
  clearDrives.addBindValue(machineId);
  if (Status st = run(clearDrives, "clearing drives"); !st) return st;
  QSqlQuery& drive = cached("INSERT INTO drives (machine_id, name, size) VALUES (?, ?, ?)");
  for (const auto& [name, size] : snap.drives) {
    drive.addBindValue(machineId), drive.addBindValue(q(name)), drive.addBindValue(q(size));
    if (Status st = run(drive, "writing a drive"); !st) return st;
  }
  if (sameApplications) return Status::Ok();
  QSqlQuery& clearApps = cached("DELETE FROM applications WHERE machine_id = ?");
  clearApps.addBindValue(machineId);
  if (Status st = run(clearApps, "clearing applications"); !st) return st;
  return insertApplications(machineId, snap.applications);
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

// Snapshot texts are UTF-8 here, as the database holds them.
MachineSnapshot utf8Snapshot(const AuditRecord& record) {
  MachineSnapshot snap = snapshotOf(record);
  snap.os = utf8(snap.os), snap.processor = utf8(snap.processor), snap.memory = utf8(snap.memory);
  std::map<std::string, std::string> drives;
  for (const auto& [name, size] : snap.drives) drives[utf8(name)] = utf8(size);
  snap.drives = std::move(drives);
  for (IndexedApplication& a : snap.applications) {
    a.name = utf8(a.name), a.version = utf8(a.version), a.publisher = utf8(a.publisher);
  }
  return snap;
}

bool sameBag(std::vector<IndexedApplication> a, std::vector<IndexedApplication> b) {
  if (a.size() != b.size()) return false;
  const auto less = [](const IndexedApplication& x, const IndexedApplication& y) {
    return std::tie(x.name, x.version, x.publisher) < std::tie(y.name, y.version, y.publisher);
  };
  std::sort(a.begin(), a.end(), less);
  std::sort(b.begin(), b.end(), less);
  return a == b;
}

Status AuditIndex::Impl::indexOne(const std::string& address, const AuditRecord& record, std::int64_t storedAtMs) {
  const NetworkInfo& net = record.Hardware.Network;
  const std::string host = utf8(net.Hostname), domain = utf8(net.DomainName);
  const std::string windowsId = utf8(record.Software.Windows.WindowsID), auditDate = utf8(record.AuditDate);
  const MachineSnapshot now = utf8Snapshot(record);

  QSqlQuery& find = cached("SELECT id, identity, stored_at FROM machines WHERE address = ?");
  find.addBindValue(q(address));
  if (Status st = run(find, "looking up a machine"); !st) return st;
  qlonglong id = 0, identity = 0;
  MachineSnapshot before;
  bool known = false, sameApps = false;
  if (find.next()) {
    const bool newerIndexed = find.value(2).toLongLong() > storedAtMs;
    id = find.value(0).toLongLong(), identity = find.value(1).toLongLong(), known = true;
    find.finish();
    if (newerIndexed) return Status::Ok();
    if (Status st = loadSnapshot(id, before); !st) return st;
    sameApps = sameBag(before.applications, now.applications);
  }
  find.finish();

  std::vector<AuditChange> changes;
  if (!known) {
    // A machine that moved here: the same WindowsID and host name, current elsewhere.
    qlonglong fromId = 0;
    std::string fromAddress;
    if (!isUnknown(windowsId)) {
      QSqlQuery& from = cached(
          "SELECT id, identity, address FROM machines WHERE windows_id = ? AND host_name = ?"
          " AND moved_to IS NULL AND address <> ? ORDER BY last_seen DESC");
      from.addBindValue(q(windowsId)), from.addBindValue(q(host)), from.addBindValue(q(address));
      if (Status st = run(from, "looking for a moved machine"); !st) return st;
      if (from.next()) {
        fromId = from.value(0).toLongLong(), identity = from.value(1).toLongLong(), fromAddress = s(from.value(2));
        from.finish();
        if (Status st = loadSnapshot(fromId, before); !st) return st;
      }
    }
    QSqlQuery& add = cached(
        "INSERT INTO machines (address, identity, first_seen, last_seen, stored_at) VALUES (?, ?, ?, ?, ?) RETURNING id");
    add.addBindValue(q(address)), add.addBindValue(identity), add.addBindValue(qlonglong{storedAtMs});
    add.addBindValue(qlonglong{storedAtMs}), add.addBindValue(qlonglong{storedAtMs});
    if (Status st = run(add, "adding a machine"); !st) return st;
    if (!add.next()) return Status::Error(kErrIndexDatabase, "Index database: no key for a new machine");
    id = add.value(0).toLongLong();
    add.finish();
    if (fromId == 0) {
      identity = id;
    } else {
      QSqlQuery& mark = cached("UPDATE machines SET moved_to = ? WHERE id = ?");
      mark.addBindValue(q(address)), mark.addBindValue(fromId);
      if (Status st = run(mark, "marking a machine moved"); !st) return st;
      QSqlQuery& drop = cached("DELETE FROM applications WHERE machine_id = ?");  // latest lists only
      drop.addBindValue(fromId);
      if (Status st = run(drop, "clearing a moved machine's applications"); !st) return st;
      changes.push_back({std::string(change::kMoved), fromAddress, fromAddress, address});
      const std::vector<AuditChange> diff = diffSnapshots(before, now);
      changes.insert(changes.end(), diff.begin(), diff.end());
    }
  } else {
    changes = diffSnapshots(before, now);
  }

  QSqlQuery& update = cached(
      "UPDATE machines SET identity = ?, host_name = ?, domain = ?, windows_id = ?, last_seen = ?, stored_at = ?,"
      " audit_date = ?, os = ?, processor = ?, memory = ?, drives = ? WHERE id = ?");
  for (const QVariant& v : {QVariant(identity), QVariant(q(host)), QVariant(q(domain)), QVariant(q(windowsId)),
                            QVariant(qlonglong{storedAtMs}), QVariant(qlonglong{storedAtMs}), QVariant(q(auditDate)),
                            QVariant(q(now.os)), QVariant(q(now.processor)), QVariant(q(now.memory)),
                            QVariant(q(drivesText(now))), QVariant(id)}) {
    update.addBindValue(v);
  }
  if (Status st = run(update, "updating a machine"); !st) return st;
  if (Status st = writeLatest(id, now, sameApps); !st) return st;
  return addChanges(identity, address, auditDate, storedAtMs, changes);
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
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10000");
  }
  if (!db.open()) return d_->failed(db.lastError(), "cannot open");
  if (!pg) {
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-65536",
                                "PRAGMA temp_store=MEMORY"}) {
      if (Status st = d_->exec(pragma); !st) return st;
    }
  } else {
    if (Status st = d_->exec("SET client_min_messages TO WARNING"); !st) return st;
  }
  d_->nameIds.clear();
  d_->statements.clear();
  if (Status st = d_->migrate(); !st) return st;
  return d_->exec(kCreateNameIndex);  // after an interrupted bulk build
}

Status AuditIndex::beginBulk() { return d_->exec("DROP INDEX IF EXISTS applications_name"); }

Status AuditIndex::endBulk() {
  d_->statements.clear();  // statements planned without the index
  return d_->exec(kCreateNameIndex);
}

Status AuditIndex::beginBatch() {
  if (!d_->db().transaction()) return d_->failed(d_->db().lastError(), "starting a transaction");
  d_->batch = true;
  return Status::Ok();
}

Status AuditIndex::commitBatch() {
  d_->batch = false;
  if (!d_->db().commit()) {
    const Status st = d_->failed(d_->db().lastError(), "committing");
    d_->db().rollback();
    d_->nameIds.clear();
    return st;
  }
  return Status::Ok();
}

void AuditIndex::rollbackBatch() {
  d_->batch = false;
  d_->db().rollback();
  d_->nameIds.clear();  // ids added in the batch are gone
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

// Two steps: the (few) matching names first, then their rows by index, so
// that no plan ever scans every application row.
Expected<std::vector<FoundApplication>> AuditIndex::find(const FindQuery& fq) {
  QString pattern = q(fq.name).toLower();
  pattern.replace("\\", "\\\\").replace("%", "\\%").replace("_", "\\_");
  QSqlQuery names = d_->prepare("SELECT id, name, publisher FROM app_names WHERE name_lower LIKE ? ESCAPE '\\'");
  names.addBindValue("%" + pattern + "%");
  if (Status st = d_->run(names, "finding application names"); !st) return st;
  std::unordered_map<qlonglong, std::pair<std::string, std::string>> byId;
  QStringList ids;
  while (names.next()) {
    byId[names.value(0).toLongLong()] = {s(names.value(1)), s(names.value(2))};
    ids << names.value(0).toString();
  }
  std::vector<FoundApplication> out;
  if (ids.isEmpty()) return out;
  QSqlQuery query = d_->prepare(("SELECT m.address, m.host_name, m.domain, a.name_id, a.version"
                                 " FROM applications a JOIN machines m ON m.id = a.machine_id"
                                 " WHERE a.name_id IN (" + ids.join(',').toStdString() + ") AND m.moved_to IS NULL")
                                    .c_str());
  if (Status st = d_->run(query, "finding applications"); !st) return st;
  while (query.next()) {
    std::string version = s(query.value(4));
    if (!versionMatches(version, fq.op, fq.version)) continue;
    const auto& [name, publisher] = byId[query.value(3).toLongLong()];
    out.push_back({s(query.value(0)), s(query.value(1)), s(query.value(2)), name, std::move(version), publisher});
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
