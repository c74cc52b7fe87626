#include "server/core/ReportRunner.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/ErrorReport.h"
#include "server/core/ReportComponent.h"
#include "server/core/ServerTexts.h"
#include "server/core/modMisc.h"
#include "server/core/modPublisher.h"

namespace quorvane {

namespace {

void forwardMessage(void* context, std::int32_t icon, const char* text, size_t size) {
  auto* sink = static_cast<MessageSink*>(context);
  sink->showMessage(kLibraryTitle, std::string_view(text, size), icon);
}

QvHost hostFor(MessageSink& sink, std::uint32_t flags) {
  return QvHost{sizeof(QvHost), flags, &sink, &forwardMessage};
}

std::string_view trimSpaces(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> split(std::string_view text, char at) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const auto pos = text.find(at, from);
    parts.emplace_back(text.substr(from, pos == std::string_view::npos ? std::string_view::npos : pos - from));
    if (pos == std::string_view::npos) break;
    from = pos + 1;
  }
  return parts;
}

Status badEntry(std::string_view entry, const char* why) {
  return Status::Error(kErrBadFileFormat, "Catalog entry \"" + std::string(entry) + "\": " + why);
}

}  // namespace

std::string couldNotInitializeMessage() {
  return "Dovrel could not initialize.\r\nPlease report any error messages to " + std::string(kSupportAddress);
}

std::string retreiveInfoMessage(std::string_view failure, std::string_view path) {
  std::string s(kWhereRetreiveInfo);
  s.append("\r\n\r\n").append(failure).append("\r\n").append(path);
  return s;
}

Expected<CatalogEntryParts> parseCatalogEntry(std::string_view entry) {
  const auto first = entry.find("::");
  if (first == std::string_view::npos) return badEntry(entry, "no \"::\"");
  const auto second = entry.find("::", first + 2);
  if (second == std::string_view::npos) return badEntry(entry, "no second \"::\"");
  const auto brace = entry.find('{');
  if (brace == std::string_view::npos || brace < second) return badEntry(entry, "no \"{\" after the class name");
  if (entry.back() != '}') return badEntry(entry, "does not end in \"}\"");
  CatalogEntryParts parts;
  parts.reportName = std::string(entry.substr(0, first));
  parts.className = std::string(entry.substr(first + 2, second - first - 2));
  if (parts.reportName.empty()) return badEntry(entry, "empty report name");
  if (parts.className.empty()) return badEntry(entry, "empty class name");
  const std::string_view list = entry.substr(brace + 1, entry.size() - brace - 2);
  for (const std::string& format : split(list, ';')) {
    const auto fields = split(format, ',');
    if (fields.size() < 2 || fields[0].empty()) return badEntry(entry, "a format without caption and extension");
    parts.formats.emplace_back(fields[0], fields[1]);
  }
  return parts;
}

std::vector<ReportCatalogEntry> buildReportCatalog(const std::vector<ReportLibraryEntry>& libraries) {
  std::vector<ReportCatalogEntry> catalog;
  for (const auto& lib : libraries) {
    for (const auto& text : lib.catalog) {
      auto parts = parseCatalogEntry(text);
      if (!parts) continue;
      for (std::size_t f = 0; f < parts->formats.size(); ++f) {
        catalog.push_back({lib.path, parts->className, parts->reportName, static_cast<int>(f),
                           parts->formats[f].first});
      }
    }
  }
  return catalog;
}

bool isReportLibraryName(std::string_view name) {
  const std::string_view suffix = reportLibrarySuffix();
  if (name == "." || name == "..") return false;
  if (name.size() <= 6) return false;
  if (name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix) return false;
  return lowerCase1252(name.substr(0, 6)) == "dovrel";
}

std::vector<std::string> listReportLibraries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (isReportLibraryName(name) && it->is_regular_file(typeError)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

Expected<ReportLibraryEntry> retreiveInfo(const std::string& path, const QvHost* host) {
  auto lib = ComponentLibrary::load(path);
  if (!lib) return Status::Error(kErrLoadLibrary, retreiveInfoMessage(kLoadLibraryFailed, path));
  ComponentLibrary& library = **lib;
  if (!library.hasEntryPoint("DllRegisterServer")) {
    return Status::Error(kErrEntryPointMissing, retreiveInfoMessage(kGetProcAddressFailed, path));
  }
  library.registerServer();
  ReportLibraryEntry entry;
  entry.path = path;
  Status failure;
  {
    auto object = library.createObject("clsInit", host);
    if (!object) {
      failure = object.status();
    } else {
      auto names = object->invoke("strGetNames");
      auto author = object->invoke("strGetAuthor");
      if (!names) {
        failure = names.status();
      } else if (!author) {
        failure = author.status();
      } else if (names->asTextArray() == nullptr || author->asText() == nullptr) {
        failure = Status::Error(kErrTypeMismatch, "Type mismatch: strGetNames or strGetAuthor of " + path);
      } else {
        entry.catalog = *names->asTextArray();
        entry.author = *author->asText();
      }
    }
  }  // the object is released before the library is unregistered
  library.unregisterServer();
  if (!failure.ok()) {
    return Status::Error(failure.number(),
                         formatErrorReport(kWhereRetreiveInfo, failure.number(), failure.description(), 0));
  }
  return entry;
}

Expected<std::vector<ReportLibraryEntry>> LibraryReportCatalog::discover(std::string_view appPath) {
  std::vector<ReportLibraryEntry> table;
  const std::string folder(appPath);
  const QvHost host = hostFor(sink_, QV_HOST_QUIET);
  for (const std::string& name : listReportLibraries(folder)) {
    const std::string path = getAppPath(folder) + name;
    auto entry = retreiveInfo(path, &host);
    if (!entry) {
      sink_.showMessage(kServerTitle, entry.status().description(), kStyleCritical);
      continue;
    }
    // Entries the server cannot read are reported and left out.
    std::vector<std::string> readable;
    for (const auto& text : entry->catalog) {
      auto parts = parseCatalogEntry(text);
      if (!parts) {
        sink_.showMessage(kServerTitle,
                          formatErrorReport(kWhereRetreiveInfo, parts.status().number(),
                                            parts.status().description() + " in " + path, 0),
                          kStyleCritical);
        continue;
      }
      readable.push_back(text);
    }
    entry->catalog = std::move(readable);
    table.push_back(std::move(*entry));
  }
  return table;
}

ReportRunner::ReportRunner(MessageSink& sink, std::uint32_t hostFlags) : sink_(sink), hostFlags_(hostFlags) {}

void ReportRunner::show(std::string_view text, int style) { sink_.showMessage(kServerTitle, text, style); }

void ReportRunner::setLibraries(std::vector<ReportLibraryEntry> libraries) {
  libraries_ = std::move(libraries);
  catalog_ = buildReportCatalog(libraries_);
  typeRows_.clear();
  formatRows_.clear();
  for (std::size_t k = 0; k < libraries_.size(); ++k) {
    const auto& lib = libraries_[k];
    const std::string file = stripExtension(returnNameOfFile(lib.path));
    for (const auto& text : lib.catalog) {
      auto parts = parseCatalogEntry(text);
      if (!parts) continue;
      typeRows_.push_back({parts->reportName, static_cast<int>(k), "(" + lib.author + ")", "(" + file + ")"});
    }
  }
}

void ReportRunner::clickReportType(std::size_t row) {
  if (row >= typeRows_.size()) return;
  typeChosen_ = true;
  typeRow_ = row;
  chosenName_ = typeRows_[row].text;
  formatRows_.clear();
  const auto& lib = libraries_[static_cast<std::size_t>(typeRows_[row].tag)];
  const std::string* found = nullptr;
  for (const auto& text : lib.catalog) {
    if (startsWith(text, chosenName_)) found = &text;
  }
  if (found == nullptr) return;
  auto parts = parseCatalogEntry(*found);
  if (!parts) return;
  for (auto& [caption, extension] : parts->formats) formatRows_.push_back({caption, extension});
}

void ReportRunner::clickFormat(std::size_t row) {
  if (row >= formatRows_.size()) return;
  formatChosen_ = true;
  formatRow_ = row;
  chosenCaption_ = formatRows_[row].caption;
  chosenExtension_ = formatRows_[row].extension;
}

ReportRunner::Outcome ReportRunner::go(const std::string& pathText, const std::vector<std::string>& dataFiles) {
  if (!trimSpaces(pathText).empty()) return doReport(pathText, dataFiles);
  if (typeChosen_ && formatChosen_) {
    show(kAskFileName, kStyleInformation);
    return Outcome::AskedFileName;
  }
  show(kAskBothChoices, kStyleInformation);
  return Outcome::AskedChoices;
}

const ReportCatalogEntry* ReportRunner::chosenEntry() const {
  for (const auto& e : catalog_) {
    if (e.reportName == chosenName_ && e.caption == chosenCaption_) return &e;
  }
  return nullptr;
}

std::optional<std::string> ReportRunner::replaceQuestion(const std::string& pathText) const {
  if (trimSpaces(pathText).empty() || chosenEntry() == nullptr) return std::nullopt;
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(pathText), ec)) return std::nullopt;
  return pathText + " already exists. Replace it?";
}

std::string ReportRunner::writtenNote(const std::string& path) { return "Report written to " + path; }

ReportRunner::Outcome ReportRunner::doReport(const std::string& path, const std::vector<std::string>& dataFiles) {
  const ReportCatalogEntry* chosen = chosenEntry();
  if (chosen == nullptr) {
    show(kNoReportMatch, kStyleCritical);
    return Outcome::NoMatch;
  }
  auto reportError = [this](const Status& s, long line) {
    show(formatErrorReport(kWhereDoReport, s.number(), s.description(), line), kStyleCritical);
  };
  auto lib = ComponentLibrary::load(chosen->libraryPath);
  if (!lib) {
    reportError(lib.status(), __LINE__);
    return Outcome::Failed;
  }
  ComponentLibrary& library = **lib;
  if (Status st = library.registerServer(); !st.ok()) {
    reportError(st, __LINE__);
    return Outcome::Failed;
  }
  const QvHost host = hostFor(sink_, hostFlags_);
  Outcome outcome = Outcome::Failed;
  {
    auto object = library.createObject(chosen->className, &host);
    if (!object) {
      reportError(object.status(), __LINE__);
    } else {
      auto init = object->invoke("Init", {ReportValue{dataFiles}});
      if (!init) {
        reportError(init.status(), __LINE__);
      } else if (init->asBool() == nullptr || !*init->asBool()) {
        show(couldNotInitializeMessage(), kStyleCritical);
      } else {
        auto done = object->invoke("doReport", {ReportValue{static_cast<std::int32_t>(chosen->formatNumber)},
                                                ReportValue{path}});
        if (!done) {
          reportError(done.status(), __LINE__);
        } else if (const bool* b = done->asBool()) {
          outcome = *b ? Outcome::Written : Outcome::NotWritten;
        } else {
          std::error_code ec;
          outcome = std::filesystem::exists(path, ec) ? Outcome::Written : Outcome::NotWritten;
        }
      }
    }
  }
  library.unregisterServer();
  return outcome;
}

}  // namespace quorvane
