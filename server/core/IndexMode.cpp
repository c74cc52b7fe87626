#include "server/core/IndexMode.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <algorithm>
#include <nlohmann/json.hpp>

#include "server/core/AuditIndex.h"
#include "server/core/CommandLine.h"
#include "server/core/IndexService.h"
#include "server/core/ServerSettings.h"
#include "server/core/ServerErrors.h"
#include "server/core/modMisc.h"

namespace quorvane {
namespace {

Status usage(std::string text) { return Status::Error(kExitUsage, std::move(text)); }

std::string localTime(std::int64_t ms) {
  return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

std::string csvField(const std::string& v) {
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string out = "\"";
  for (char c : v) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string textTable(const TextTable& t) {
  std::vector<qsizetype> width(t.columns.size(), 0);
  const auto measure = [&](const std::vector<std::string>& row) {
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], QString::fromStdString(row[c]).size());
  };
  measure(t.columns);
  for (const auto& row : t.rows) measure(row);
  std::string out;
  const auto line = [&](const std::vector<std::string>& row) {
    std::string text;
    for (std::size_t c = 0; c < row.size(); ++c) {
      text += row[c];
      if (c + 1 < row.size()) text += std::string(width[c] - QString::fromStdString(row[c]).size() + 2, ' ');
    }
    out += text + "\n";
  };
  line(t.columns);
  for (const auto& row : t.rows) line(row);
  return out;
}

TextTable machineTable(const std::vector<MachineEntry>& machines) {
  TextTable t{{"address", "host", "domain", "windows_id", "first_seen", "last_seen", "moved_to"}, {}};
  for (const MachineEntry& m : machines) {
    t.rows.push_back({m.address, m.hostName, m.domain, m.windowsId, localTime(m.firstSeenMs), localTime(m.lastSeenMs),
                      m.movedTo});
  }
  return t;
}

// The start of the local day `since` (YYYY-MM-DD), 0 for none.
std::int64_t sinceMs(const std::string& since) {
  if (since.empty()) return 0;
  return QDate::fromString(QString::fromStdString(since), "yyyy-MM-dd").startOfDay().toMSecsSinceEpoch();
}

Expected<TextTable> commandLogTable(AuditIndex& index, const IndexQueryOptions& o) {
  Expected<std::vector<CommandLogEntry>> log = index.commandLog(sinceMs(o.since));
  if (!log) return log.status();
  TextTable t{{"time", "target", "command", "result"}, {}};
  for (const CommandLogEntry& e : *log) t.rows.push_back({localTime(e.sentMs), e.target, e.caption, e.result});
  return t;
}

Expected<TextTable> ask(AuditIndex& index, const IndexQueryOptions& o) {
  switch (o.ask) {
    case IndexQueryOptions::Ask::Find: {
      Expected<FindQuery> query = parseFindQuery(o.query);
      if (!query) return query.status();
      Expected<std::vector<FoundApplication>> found = index.find(*query);
      if (!found) return found.status();
      TextTable t{{"address", "host", "domain", "application", "version", "publisher"}, {}};
      for (const FoundApplication& f : *found) {
        t.rows.push_back({f.address, f.hostName, f.domain, f.application, f.version, f.publisher});
      }
      return t;
    }
    case IndexQueryOptions::Ask::History: {
      Expected<std::optional<MachineEntry>> machine = index.machine(o.address);
      if (!machine) return machine.status();
      if (!*machine) return Status::Error(kErrNoSuchMachine, o.address + ": no machine with this address in the index");
      Expected<std::vector<ChangeEntry>> changes = index.history(o.address, sinceMs(o.since));
      if (!changes) return changes.status();
      TextTable t{{"received", "audit_date", "address", "change", "subject", "before", "after"}, {}};
      for (const ChangeEntry& c : *changes) {
        t.rows.push_back({localTime(c.receivedMs), c.auditDate, c.address, c.change.kind, c.change.subject,
                          c.change.oldValue, c.change.newValue});
      }
      return t;
    }
    case IndexQueryOptions::Ask::Stale: {
      Expected<std::vector<MachineEntry>> rows = index.stale(o.days, QDateTime::currentMSecsSinceEpoch());
      if (!rows) return rows.status();
      return machineTable(*rows);
    }
    case IndexQueryOptions::Ask::Moved: {
      Expected<std::vector<MachineEntry>> rows = index.moved();
      if (!rows) return rows.status();
      return machineTable(*rows);
    }
    case IndexQueryOptions::Ask::CommandLog:
      return commandLogTable(index, o);
  }
  return TextTable{};
}

}  // namespace

bool isIndexCommandLine(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a == "--find" || a == "--history" || a == "--stale" || a == "--moved" || a == "--command-log";
  });
}

std::string indexUsage() {
  return "Usage: QuorvaneServer [--dir DIR] [--settings FILE] --find QUERY [--format text|csv|json]\n"
         "       QuorvaneServer [--dir DIR] --history IP [--since YYYY-MM-DD] [--format ...]\n"
         "       QuorvaneServer [--dir DIR] --stale DAYS [--format ...]\n"
         "       QuorvaneServer [--dir DIR] --moved [--format ...]\n"
         "       QuorvaneServer [--dir DIR] --command-log [--since YYYY-MM-DD] [--format ...]\n"
         "QUERY: an application name, optionally an operator (< <= = >= >) and a version,\n"
         "e.g. 'firefox < 120'. Exits 0 with an answer, 1 when the index or the address\n"
         "is not there, 64 for a bad command line.\n";
}

Expected<IndexQueryOptions> parseIndexCommandLine(const std::vector<std::string>& args) {
  IndexQueryOptions o;
  int asks = 0;
  std::string format = "text", days;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    if (a == "--moved" || a == "--command-log") {
      o.ask = a == "--moved" ? IndexQueryOptions::Ask::Moved : IndexQueryOptions::Ask::CommandLog, ++asks;
      continue;
    }
    if (a == "--dir") target = &o.dir;
    else if (a == "--settings") target = &o.settingsFile;
    else if (a == "--find") target = &o.query, o.ask = IndexQueryOptions::Ask::Find, ++asks;
    else if (a == "--history") target = &o.address, o.ask = IndexQueryOptions::Ask::History, ++asks;
    else if (a == "--stale") target = &days, o.ask = IndexQueryOptions::Ask::Stale, ++asks;
    else if (a == "--since") target = &o.since;
    else if (a == "--format") target = &format;
    else return usage("unknown argument: " + a);
    if (i + 1 >= args.size() || args[i + 1].empty()) return usage(a + " needs a value");
    *target = args[++i];
  }
  if (asks != 1) return usage("--find, --history, --stale, --moved and --command-log exclude each other");
  if (format == "text") o.format = IndexQueryOptions::Format::Text;
  else if (format == "csv") o.format = IndexQueryOptions::Format::Csv;
  else if (format == "json") o.format = IndexQueryOptions::Format::Json;
  else return usage("--format takes text, csv or json");
  if (!o.since.empty()) {
    if (o.ask != IndexQueryOptions::Ask::History && o.ask != IndexQueryOptions::Ask::CommandLog) {
      return usage("--since goes with --history or --command-log");
    }
    if (!QDate::fromString(QString::fromStdString(o.since), "yyyy-MM-dd").isValid()) {
      return usage("--since needs a date YYYY-MM-DD");
    }
  }
  if (o.ask == IndexQueryOptions::Ask::Stale) {
    const bool digits = std::all_of(days.begin(), days.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || days.size() > 6) return usage("--stale needs a number of days");
    o.days = std::stoi(days);
  }
  if (o.ask == IndexQueryOptions::Ask::Find) {
    if (Expected<FindQuery> q = parseFindQuery(o.query); !q) return usage(q.status().description());
  }
  return o;
}

std::string formatTable(const TextTable& t, IndexQueryOptions::Format format) {
  switch (format) {
    case IndexQueryOptions::Format::Text:
      return textTable(t);
    case IndexQueryOptions::Format::Csv: {
      std::string out;
      const auto line = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < row.size(); ++c) out += (c ? "," : "") + csvField(row[c]);
        out += "\r\n";
      };
      line(t.columns);
      for (const auto& row : t.rows) line(row);
      return out;
    }
    case IndexQueryOptions::Format::Json: {
      nlohmann::json array = nlohmann::json::array();
      for (const auto& row : t.rows) {
        nlohmann::json object = nlohmann::json::object();
        for (std::size_t c = 0; c < t.columns.size(); ++c) object[t.columns[c]] = row[c];
        array.push_back(std::move(object));
      }
      return array.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
  }
  return {};
}

int runIndexMode(const IndexQueryOptions& o, const std::string& programFolder, std::FILE* out) {
  const std::string appPath = getAppPath(o.dir.empty() ? programFolder : o.dir);
  const auto fail = [](const Status& why) {
    std::fprintf(stderr, "QuorvaneServer: %s\n", why.description().c_str());
    return 1;
  };
  Expected<ServerSettings> settings =
      o.settingsFile.empty() ? readServerSettings(appPath) : readServerSettingsFile(o.settingsFile);
  if (!settings) return fail(settings.status());
  Expected<std::optional<IndexDatabase>> where = resolveIndexDatabase(settings->index, appPath);
  if (!where) return fail(where.status());
  if (!*where) return fail(Status::Error(kErrIndexOff, "the index is off (IndexDatabase: off in serverSettings.txt)"));
  AuditIndex index(**where);
  if (Status st = index.open(); !st) return fail(st);
  Expected<CatchUpResult> caught = catchUpIndex(index, appPath);
  if (!caught) return fail(caught.status());
  if (caught->elsewhere) {
    std::fprintf(stderr, "QuorvaneServer: another process is bringing the index up to date; the answer may miss "
                         "its latest audits\n");
  }
  Expected<TextTable> table = ask(index, o);
  if (!table) return fail(table.status());
  const std::string text = formatTable(*table, o.format);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
  return 0;
}

}  // namespace quorvane
