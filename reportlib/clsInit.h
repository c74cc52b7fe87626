// clsInit: the catalog object of Dovrel. No state.
//
// strGetNames gives one catalog entry per report type:
//   report name "::" class name "::{" caption "," extension [";" ...] "}"
// the software-assets report and the XML export first, then the further
// reports (their entries stand in the header of each report class).
// strGetAuthor gives the author shown beside every report.
// Creating one makes sure the compression library is usable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reportlib/ReportHost.h"

namespace dovrel {

inline constexpr std::string_view kCatalogSoftware =
    "Report Software Assets::clsReportSoftware::{Output to HTML,.html}";
inline constexpr std::string_view kCatalogXml = "XML Data Export::clsXMLExport::{Output to XML,.xml}";
inline constexpr std::string_view kAuthor = "Ostervale Technologies Ltd.";

class clsInit {
 public:
  explicit clsInit(ReportHost& host);

  std::vector<std::string> strGetNames() const;
  std::string strGetAuthor() const;
};

}  // namespace dovrel
