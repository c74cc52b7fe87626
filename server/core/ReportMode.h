// ReportMode: the report run from the command line.
//
//   QuorvaneServer [--dir DIR] [--settings FILE] [--reports DIR]
//                  --report NAME --format CAPTION --out PATH
// (the folders as in CommandLine.h)
//
// Runs start-up and report discovery without listening (so it can run
// beside a running server), chooses the report type and the format by their
// texts, fills the path and presses "Go !" without a window. Progress and
// every message go to standard error. Exit status: 0 when the report was
// written completely, 1 otherwise (start-up failed, no such report type or
// format, the run failed), 64 for a bad command line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/Status.h"

namespace quorvane {

struct ReportOptions {
  std::string dir;           // empty: the executable's folder
  std::string settingsFile;  // empty: serverSettings.txt in the program folder
  std::string reports;       // empty: the program folder
  std::string reportName;
  std::string formatCaption;
  std::string outPath;
};

// True when the arguments ask for a report run (they hold --report).
bool isReportCommandLine(const std::vector<std::string>& args);
Expected<ReportOptions> parseReportCommandLine(const std::vector<std::string>& args);
std::string reportUsage();

// Needs a QCoreApplication. `programFolder` is used when options.dir is empty.
int runReportMode(const ReportOptions& options, const std::string& programFolder);

}  // namespace quorvane
