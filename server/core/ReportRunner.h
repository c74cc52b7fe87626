// ReportRunner: report discovery and the running of reports (the server side
// of the report-library contract).
//
// Discovery lists the program folder for files with the platform's library
// suffix whose names are longer than six characters and begin with "dovrel"
// in any case, sorted by name. Each one's catalog is read by retreiveInfo:
// load, DllRegisterServer, "<file name>.clsInit", strGetNames and
// strGetAuthor, release, DllUnregisterServer, unload. A file that cannot be
// loaded or lacks DllRegisterServer is reported with the message of
// retreiveInfo and skipped; discovery goes on with the next file.
//
// ReportRunner holds the library table, the report catalog and the choices
// of the "  Reporting  " tab, and runs a report (modReport.doReport): it
// registers the library, creates the report class, calls Init with the data
// file list and, when that succeeded, doReport; then releases everything.
// Messages go to a MessageSink; the library's own messages go there too,
// under the title "Dovrel". No widgets here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Status.h"
#include "reportlib/QuorvaneReport.h"
#include "server/core/MessageSink.h"
#include "server/core/ReportCatalog.h"

namespace quorvane {

inline constexpr std::string_view kWhereRetreiveInfo = "QuorvaneServer.modMisc.retreiveInfo()";
inline constexpr std::string_view kLoadLibraryFailed = "LoadLibrary() Failed on : ";
inline constexpr std::string_view kGetProcAddressFailed = "GetProcAddress() Failed on : ";
inline constexpr std::string_view kWhereDoReport = "QuorvaneServer.modReport.doReport";
inline constexpr std::string_view kAskFileName = "Please select a report filename";
inline constexpr std::string_view kAskBothChoices = "Please selected both a Report DLL and a Report Type";
inline constexpr std::string_view kNoReportMatch =
    "Could not determine which report dll to call.\r\n\r\nPlease re-select the Report DLL & Report Name";
inline constexpr std::string_view kSupportAddress = "support@quorvane.example";
inline constexpr std::string_view kLibraryTitle = "Dovrel";

// "Dovrel could not initialize." CR LF "Please report any error messages to " address
std::string couldNotInitializeMessage();
// kWhereRetreiveInfo CR LF CR LF failure CR LF path
std::string retreiveInfoMessage(std::string_view failure, std::string_view path);

// One catalog text taken apart the way the server reads it.
struct CatalogEntryParts {
  std::string reportName;                                   // before the first "::"
  std::string className;                                    // between the first and second "::"
  std::vector<std::pair<std::string, std::string>> formats;  // caption, extension
};
// Fails for a text without two "::", without "{", not ending in "}", with an
// empty report name or class name, or a format without ",".
Expected<CatalogEntryParts> parseCatalogEntry(std::string_view entry);

// One row of the report catalog: one per format of every catalog entry.
struct ReportCatalogEntry {
  std::string libraryPath;
  std::string className;
  std::string reportName;
  int formatNumber = 0;
  std::string caption;
};
std::vector<ReportCatalogEntry> buildReportCatalog(const std::vector<ReportLibraryEntry>& libraries);

bool isReportLibraryName(std::string_view fileName);
// The names (without folder) of the report libraries in `folder`, sorted.
std::vector<std::string> listReportLibraries(const std::string& folder);

// Reads one library's catalog. A failure's description is the message to
// show (retreiveInfoMessage for a load or entry-point failure).
Expected<ReportLibraryEntry> retreiveInfo(const std::string& path, const QvHost* host = nullptr);

// Discovery for start-up step 9; failures go to `sink` and are skipped.
class LibraryReportCatalog final : public ReportCatalog {
 public:
  explicit LibraryReportCatalog(MessageSink& sink) : sink_(sink) {}
  Expected<std::vector<ReportLibraryEntry>> discover(std::string_view appPath) override;

 private:
  MessageSink& sink_;
};

class ReportRunner {
 public:
  struct TypeRow {
    std::string text;      // the report name
    int tag = 0;           // index of the library in the table
    std::string author;    // "(" author ")"
    std::string fileName;  // "(" file name without folder and extension ")"
  };
  struct FormatRow {
    std::string caption;
    std::string extension;
  };
  enum class Outcome { Written, Failed, NotWritten, AskedFileName, AskedChoices, NoMatch };

  // hostFlags: QV_HOST_* passed to every report object.
  ReportRunner(MessageSink& sink, std::uint32_t hostFlags);

  void setLibraries(std::vector<ReportLibraryEntry> libraries);
  const std::vector<ReportLibraryEntry>& libraries() const { return libraries_; }
  const std::vector<ReportCatalogEntry>& catalog() const { return catalog_; }
  const std::vector<TypeRow>& typeRows() const { return typeRows_; }
  const std::vector<FormatRow>& formatRows() const { return formatRows_; }

  void clickReportType(std::size_t row);
  void clickFormat(std::size_t row);
  bool reportTypeChosen() const { return typeChosen_; }
  bool formatChosen() const { return formatChosen_; }
  const std::string& chosenReportName() const { return chosenName_; }
  const std::string& chosenCaption() const { return chosenCaption_; }
  const std::string& chosenExtension() const { return chosenExtension_; }
  // "My Report" followed by the chosen extension.
  std::string defaultFileName() const { return "My Report" + chosenExtension_; }

  // The question to ask before go(pathText) when it would run a report into
  // a file that exists already ("<path> already exists. Replace it?"), or
  // nothing: a path of blanks, no matching choice, or no such file.
  std::optional<std::string> replaceQuestion(const std::string& pathText) const;
  // What the window says once a report is written: "Report written to <path>".
  static std::string writtenNote(const std::string& path);

  // cmdGo: checks the choices and runs the report with `pathText` as typed.
  Outcome go(const std::string& pathText, const std::vector<std::string>& dataFiles);
  // modReport.doReport with the current choices.
  Outcome doReport(const std::string& path, const std::vector<std::string>& dataFiles);

 private:
  void show(std::string_view text, int style);
  const ReportCatalogEntry* chosenEntry() const;

  MessageSink& sink_;
  std::uint32_t hostFlags_;
  std::vector<ReportLibraryEntry> libraries_;
  std::vector<ReportCatalogEntry> catalog_;
  std::vector<TypeRow> typeRows_;
  std::vector<FormatRow> formatRows_;
  bool typeChosen_ = false;
  bool formatChosen_ = false;
  std::size_t typeRow_ = 0;
  std::size_t formatRow_ = 0;
  std::string chosenName_;
  std::string chosenCaption_;
  std::string chosenExtension_;
};

}  // namespace quorvane
