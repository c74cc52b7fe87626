#include "server/core/ReportMode.h"

#include <algorithm>
#include <memory>

#include "server/core/CommandLine.h"
#include "server/core/MessageSink.h"
#include "server/core/ReportRunner.h"
#include "server/core/ServerCore.h"

namespace quorvane {

bool isReportCommandLine(const std::vector<std::string>& args) {
  for (const auto& a : args) {
    if (a == "--report") return true;
  }
  return false;
}

std::string reportUsage() {
  return "Usage: QuorvaneServer [--dir DIR] [--settings FILE] [--reports DIR]\n"
         "                      --report NAME --format CAPTION --out PATH\n"
         "NAME and CAPTION are the texts of the \"  Reporting  \" tab, e.g.\n"
         "  --report \"XML Data Export\" --format \"Output to XML\"\n"
         "  --report \"Report Software Assets\" --format \"Output to HTML\"\n"
         "Exits 0 when the report was written completely, 1 otherwise.\n";
}

Expected<ReportOptions> parseReportCommandLine(const std::vector<std::string>& args) {
  ReportOptions o;
  bool report = false, format = false, out = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    if (a == "--dir") {
      target = &o.dir;
    } else if (a == "--settings") {
      target = &o.settingsFile;
    } else if (a == "--reports") {
      target = &o.reports;
    } else if (a == "--report") {
      target = &o.reportName;
      report = true;
    } else if (a == "--format") {
      target = &o.formatCaption;
      format = true;
    } else if (a == "--out") {
      target = &o.outPath;
      out = true;
    } else {
      return Status::Error(kExitUsage, "unknown argument with --report: " + a);
    }
    if (i + 1 >= args.size()) return Status::Error(kExitUsage, a + " needs a value");
    *target = args[++i];
  }
  if (!report || !format || !out) return Status::Error(kExitUsage, "--report needs --format and --out");
  if (o.reportName.empty() || o.formatCaption.empty()) {
    return Status::Error(kExitUsage, "--report and --format need a text");
  }
  for (const auto& [flag, value] : {std::pair{"--dir", &o.dir}, std::pair{"--settings", &o.settingsFile},
                                     std::pair{"--reports", &o.reports}}) {
    if (value->empty() && std::find(args.begin(), args.end(), flag) != args.end()) {
      return Status::Error(kExitUsage, std::string(flag) + " needs a value");
    }
  }
  return o;
}

int runReportMode(const ReportOptions& options, const std::string& programFolder) {
  StderrMessageSink sink;
  ServerFolders folders(options.dir.empty() ? programFolder : options.dir);
  folders.settingsFile = options.settingsFile;
  folders.reports = options.reports;
  ServerCore core(std::move(folders), sink);
  core.setReportCatalog(std::make_unique<LibraryReportCatalog>(sink));
  StartupView view;
  StartupOptions startup;
  startup.listen = false;
  if (!core.start(view, startup).ok()) return 1;

  ReportRunner runner(sink, 0);
  runner.setLibraries(core.reportLibraries());
  std::size_t typeRow = runner.typeRows().size();
  for (std::size_t r = 0; r < runner.typeRows().size(); ++r) {
    if (runner.typeRows()[r].text == options.reportName) {
      typeRow = r;
      break;
    }
  }
  if (typeRow == runner.typeRows().size()) {
    std::string known;
    for (const auto& row : runner.typeRows()) known += "\n  " + row.text + " " + row.fileName;
    std::fprintf(stderr, "QuorvaneServer: no report type \"%s\" in %s%s\n", options.reportName.c_str(),
                 core.reportsPath().c_str(), known.empty() ? " (no report library found)" : known.c_str());
    return 1;
  }
  runner.clickReportType(typeRow);
  std::size_t formatRow = runner.formatRows().size();
  for (std::size_t r = 0; r < runner.formatRows().size(); ++r) {
    if (runner.formatRows()[r].caption == options.formatCaption) {
      formatRow = r;
      break;
    }
  }
  if (formatRow == runner.formatRows().size()) {
    std::fprintf(stderr, "QuorvaneServer: the report type \"%s\" has no format \"%s\"\n",
                 options.reportName.c_str(), options.formatCaption.c_str());
    return 1;
  }
  runner.clickFormat(formatRow);
  const auto outcome = runner.go(options.outPath, core.state().dataFileList());
  if (outcome == ReportRunner::Outcome::Written) return 0;
  if (outcome == ReportRunner::Outcome::NotWritten) {
    std::fprintf(stderr, "QuorvaneServer: the report was not written completely: %s\n", options.outPath.c_str());
  }
  return 1;
}

}  // namespace quorvane
