// IndexMode: questions to the index database from the command line.
//
//   QuorvaneServer [--dir DIR] --find QUERY         [--format text|csv|json]
//   QuorvaneServer [--dir DIR] --history IP [--since YYYY-MM-DD] [--format ...]
//   QuorvaneServer [--dir DIR] --stale DAYS         [--format ...]
//   QuorvaneServer [--dir DIR] --moved              [--format ...]
//   QuorvaneServer [--dir DIR] --command-log [--since YYYY-MM-DD] [--format ...]
//   --settings FILE names the settings file, as for the other modes.
//
// QUERY is an application name (any part, any letter case), optionally
// followed by an operator (< <= = >= >) and a version: 'firefox < 120'.
// The mode opens the index the settings name, catches it up with DataStore
// (the server's own code, so it also works with no server running and beside
// a running one; it never listens), asks, and prints one table: aligned text
// columns, CSV (RFC 4180: CR LF line ends, fields with a comma, quote or line
// break quoted, quotes doubled) or JSON (one array of objects, keys as the
// CSV header). The command log lists every command the console sent (time,
// target, caption, result), newest first. Times are local "YYYY-MM-DD HH:MM:SS". Exit status 0 on an
// answer (also an empty one), 1 when the index cannot be opened or the
// address has no machine, 64 for a bad command line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/Status.h"

namespace quorvane {

struct IndexQueryOptions {
  enum class Ask { Find, History, Stale, Moved, CommandLog };
  enum class Format { Text, Csv, Json };
  Ask ask = Ask::Find;
  Format format = Format::Text;
  std::string dir;
  std::string settingsFile;  // empty: serverSettings.txt in the program folder
  std::string query;    // --find
  std::string address;  // --history
  std::string since;    // --history, --command-log: YYYY-MM-DD, empty for all
  int days = 0;         // --stale
};

bool isIndexCommandLine(const std::vector<std::string>& args);
Expected<IndexQueryOptions> parseIndexCommandLine(const std::vector<std::string>& args);
std::string indexUsage();

// A table of texts (UTF-8) as the modes print it.
struct TextTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};
std::string formatTable(const TextTable& table, IndexQueryOptions::Format format);

// Needs a QCoreApplication. `programFolder` is used when options.dir is empty.
int runIndexMode(const IndexQueryOptions& options, const std::string& programFolder, std::FILE* out = stdout);

}  // namespace quorvane
