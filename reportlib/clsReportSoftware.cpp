#include "reportlib/clsReportSoftware.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "common/ErrorReport.h"
#include "common/Text8.h"
#include "common/WholeFile.h"
#include "common/modZlib.h"
#include "packed/DefaultTemplate0.h"

namespace dovrel {

namespace {

void addDistinctExact(std::vector<std::string>& list, const std::string& value) {
  for (const auto& v : list) {
    if (v == value) return;
  }
  list.push_back(value);
}

void addDistinctFolded(std::vector<std::string>& list, std::vector<std::string>& keys,
                       const std::string& value) {
  std::string key = lowerCase(value);
  for (const auto& k : keys) {
    if (k == key) return;
  }
  keys.push_back(std::move(key));
  list.push_back(value);
}

std::string currentDateTimeText() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  timeFormat.remove(QLatin1Char('t'));
  timeFormat = timeFormat.trimmed();
  const QString text =
      locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
      locale.toString(now.time(), timeFormat);
  return quorvane::utf8ToWindows1252(text.toStdString());
}

}  // namespace

SoftwareTally countSoftware(const std::vector<quorvane::AuditRecord>& records,
                            modProgress* progress) {
  SoftwareTally t;
  t.computers = records.size();
  std::vector<std::string> nameKeys;
  std::vector<std::string> domainKeys;
  std::unordered_map<std::string, std::size_t> index;  // lower-cased name -> table entry
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (progress != nullptr) {
      progress->setProgress(static_cast<float>(i + 1) / static_cast<float>(records.size()));
    }
    const auto& net = records[i].Hardware.Network;
    addDistinctExact(t.addresses, net.IP);
    addDistinctFolded(t.domains, domainKeys, net.DomainName);
    addDistinctFolded(t.names, nameKeys, net.Hostname);
    for (const auto& app : records[i].Software.Applications) {
      const std::string_view trimmed = trimBlanks(app.DisplayName);
      if (trimmed.empty()) continue;
      std::string key = lowerCase(trimmed);
      auto found = index.find(key);
      if (found != index.end()) {
        ++t.applications[found->second].count;
      } else {
        index.emplace(std::move(key), t.applications.size());
        t.applications.push_back(ApplicationTally{std::string(trimmed), 1});
      }
    }
  }
  return t;
}

std::string strMyJoin(const std::vector<std::string>& list, std::string_view separator) {
  std::string joined;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) joined.append(separator);
    joined.append(list[i]);
  }
  if (!separator.empty() && joined.size() >= separator.size() &&
      joined.compare(joined.size() - separator.size(), separator.size(), separator) == 0) {
    joined.erase(joined.size() - separator.size());
  }
  return joined;
}

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string replaceAll(std::string text, std::string_view what, std::string_view with) {
  if (what.empty()) return text;
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(what, from)) != std::string::npos; from = at + what.size()) {
    out.append(text, from, at - from).append(with);
  }
  out.append(text, from, std::string::npos);
  return out;
}

std::string fillPlaceholders(std::string_view text, const std::vector<Placeholder>& values) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at)) {
    const Placeholder* hit = nullptr;
    for (const Placeholder& p : values) {
      if (!p.name.empty() && text.substr(at, p.name.size()) == p.name) {
        hit = &p;
        break;
      }
    }
    if (hit == nullptr) {
      ++at;
      continue;
    }
    out.append(text.substr(from, at - from)).append(hit->value);
    at += hit->name.size();
    from = at;
  }
  out.append(text.substr(from));
  return out;
}

std::string_view rowColour(std::size_t row) { return row % 2 == 0 ? "#CCCCCC" : "#999999"; }

quorvane::Expected<TemplateParts> splitTemplate(std::string_view text) {
  const auto open = text.find(kReplicateOpen);
  if (open == std::string_view::npos) {
    return quorvane::Status::Error(quorvane::kErrBadFileFormat,
                                   "The template holds no <QuorvanePro:Replicate> tag");
  }
  const auto rowStart = open + kReplicateOpen.size();
  const auto close = text.find(kReplicateClose, rowStart);
  if (close == std::string_view::npos) {
    return quorvane::Status::Error(quorvane::kErrBadFileFormat,
                                   "The template holds no </QuorvanePro:Replicate> tag");
  }
  TemplateParts parts;
  parts.head = std::string(text.substr(0, open));
  parts.row = std::string(text.substr(rowStart, close - rowStart));
  parts.tail = std::string(text.substr(close + kReplicateClose.size()));
  return parts;
}

quorvane::Expected<std::string> defaultTemplate() {
  return quorvane::getFile(quorvane::packed::DefaultTemplate0);
}

clsReportSoftware::clsReportSoftware(ReportHost host)
    : clsReportBase("clsReportSoftware", std::move(host)) {}

std::filesystem::path clsReportSoftware::templatePath() const {
  const std::filesystem::path folder = folder_.empty() ? libraryFolder() : folder_;
  return folder / kTemplateFolder / kTemplateFile;
}

bool clsReportSoftware::doReport(std::int32_t lngReportType, const std::string& strPath) {
  host_.resetFailed();
  if (!checkInitialized()) return false;
  if (lngReportType != 0) return false;
  return doHTMLReport(strPath) && !host_.failed();
}

bool clsReportSoftware::doHTMLReport(const std::string& path) {
  progress_.setStatus("Creating HTML Report ...");
  tally_ = countSoftware(records_, &progress_);
  return doOutput(path);
}

// The template beside the library, first written from the built-in one when
// there is none (never replacing one), split at its replicated row.
std::optional<TemplateParts> clsReportSoftware::readTemplate(const std::string& where) {
  const std::filesystem::path tpl = templatePath();
  std::error_code ec;
  if (!std::filesystem::exists(tpl, ec)) {
    std::filesystem::create_directories(tpl.parent_path(), ec);
    auto bytes = defaultTemplate();
    if (!bytes) {
      host_.reportError(where, bytes.status().number(), bytes.status().description(), __LINE__);
      return std::nullopt;
    }
    // "x": created here or not at all, so an existing template is never replaced.
    if (FILE* f = std::fopen(tpl.c_str(), "wbx")) {
      const bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
      if (std::fclose(f) != 0 || !ok) {
        host_.reportError(where, quorvane::kErrPathAccess,
                          tpl.string() + ": the default template could not be written", __LINE__);
        return std::nullopt;
      }
    } else if (errno != EEXIST) {
      host_.reportError(where, quorvane::kErrPathAccess, tpl.string() + ": " + std::strerror(errno),
                        __LINE__);
      return std::nullopt;
    }
  }

  auto text = quorvane::readWholeFile(tpl, kMaxTemplateSize);
  if (!text) {
    host_.reportError(where, quorvane::kErrFileNotFound, tpl.string() + ": cannot be read", __LINE__);
    return std::nullopt;
  }
  auto parts = splitTemplate(*text);
  if (!parts) {
    host_.reportError(where, parts.status().number(), parts.status().description(), __LINE__);
    return std::nullopt;
  }
  return std::move(*parts);
}

bool clsReportSoftware::doOutput(const std::string& path) {
  const std::string where = "Dovrel.clsReportSoftware.doOutput()";
  progress_.setStatus("Outputting HTML ...");
  progress_.setProgress(0.0f);
  const std::optional<TemplateParts> parts = readTemplate(where);
  if (!parts) return false;
  progress_.setProgress(1.0f);

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    host_.reportError(where, quorvane::kErrPathAccess, path + ": " + std::strerror(errno),
                      __LINE__);
    return false;
  }
  const std::string dateTime = dateTime_.empty() ? currentDateTimeText() : dateTime_;
  out << fillPlaceholders(parts->head,
                          {{"%computer_count%", std::to_string(tally_.computers)},
                           {"%date_time%", htmlEscape(dateTime)},
                           {"%ip_addresses%", htmlEscape(strMyJoin(tally_.addresses, ", "))},
                           {"%computer_names%", htmlEscape(strMyJoin(tally_.names, ", "))},
                           {"%domains_workgroups%", htmlEscape(strMyJoin(tally_.domains, ", "))}})
      << "\r\n";

  sortString(tally_.applications, &progress_);
  progress_.setStatus("Outputting HTML ...");
  const std::size_t last = tally_.applications.size() - 1;
  for (std::size_t e = 1; e <= last; ++e) {
    progress_.setProgress(static_cast<float>(e + 1) / static_cast<float>(last + 1));
    const auto& app = tally_.applications[e];
    out << fillPlaceholders(parts->row, {{"%row_colour%", std::string(rowColour(e - 1))},
                                         {"%product_name%", htmlEscape(app.name)},
                                         {"%count%", std::to_string(app.count)}})
        << "\r\n";
  }
  out << parts->tail << "\r\n";
  out.close();
  if (!out) {
    host_.reportError(where, quorvane::kErrPathAccess, path + ": the report could not be written",
                      __LINE__);
    return false;
  }
  progress_.unload();
  StartDoc(path, host_);
  return true;
}

}  // namespace dovrel
