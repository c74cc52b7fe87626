// modMain: the small shared routines of the report library.
//
// Texts are 8-bit (Windows-1252) byte strings. sortString works on the
// application table of the software report; StartDoc opens a finished
// report with the desktop's opener, and only when the host is interactive
// and a display exists (never from tests or the command line).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Status.h"
#include "reportlib/ReportHost.h"

namespace dovrel {

class modProgress;

// One row of the application table. Entry 0 of the table is an empty
// placeholder that is never written; real entries start at 1.
struct ApplicationTally {
  std::string name;
  long count = 0;
  friend bool operator==(const ApplicationTally&, const ApplicationTally&) = default;
};
using ApplicationTable = std::vector<ApplicationTally>;

// Lower case of Windows-1252 text (ASCII letters and the accented capitals).
std::string lowerCase(std::string_view text);
void lowerCaseInPlace(std::string& text);
// The text without leading and trailing blanks (spaces only).
std::string_view trimBlanks(std::string_view text);

// The system's temporary folder, ending in "/".
quorvane::Expected<std::string> getTemporaryPath();
// A new, empty, uniquely named file in the temporary folder ("KVX" prefix).
quorvane::Expected<std::string> getTemporaryFile();

// Sorts entries 1 to the last by lower-cased name (ordinal) into the order
// of an exchange sort that stops after the first pass without an exchange
// (equal names keep their order), in n log n. Returns the number of passes
// that exchange sort makes. Reports status and progress 0.
int sortString(ApplicationTable& table, modProgress* progress = nullptr);

// What became of the desktop's opener for one file: opened, or why not.
struct OpenerVerdict {
  bool opened = false;
  std::string why;
};
inline constexpr const char* kDesktopOpener = "xdg-open";
inline constexpr int kOpenerVerdictMs = 4000;

// Runs `opener` (found in PATH) on `path` and waits up to `waitMs` for its
// verdict: it ends with 0 once it has handed the file to a viewer, and with
// another code (and a reason on standard error) when none would take it or
// the viewer refused to run. One still running after the wait has become
// the viewer itself and counts as opened; it is left running.
OpenerVerdict runOpener(const std::string& opener, const std::string& path, int waitMs);

// "The report was written to <path>, but it could not be opened (<why>). ..."
std::string openFailedMessage(const std::string& path, const std::string& why);

// Opens `path` with the desktop's opener when the host allows it (an
// interactive host on a display). Returns true when it was opened; when it
// was not, says so through the host's messages and returns false.
bool StartDoc(const std::string& path, ReportHost& host);

// The folder of the loaded library file (where Template/ lives).
std::filesystem::path libraryFolder();
// The library's project name: its file name without folder and extension.
std::string libraryProjectName();

}  // namespace dovrel
