// ReportCatalog: the seam through which start-up discovers the report
// libraries beside the program (start-up step 9).
//
// An implementation lists the program folder for report libraries, reads
// each one's catalog and returns one entry per library in discovery order.
// NoReportLibraries finds none: a ServerCore starts with it, and the programs
// set the catalog that loads the libraries (LibraryReportCatalog); tests that
// need no report keep it. A failure is returned as a Status and ends start-up
// like any other step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/Status.h"

namespace quorvane {

struct ReportLibraryEntry {
  std::string path;                  // full path of the library
  std::vector<std::string> catalog;  // catalog texts (name "::" class "::{" formats "}")
  std::string author;
};

class ReportCatalog {
 public:
  virtual ~ReportCatalog() = default;
  virtual Expected<std::vector<ReportLibraryEntry>> discover(std::string_view appPath) = 0;
};

class NoReportLibraries final : public ReportCatalog {
 public:
  Expected<std::vector<ReportLibraryEntry>> discover(std::string_view) override {
    return std::vector<ReportLibraryEntry>{};
  }
};

}  // namespace quorvane
