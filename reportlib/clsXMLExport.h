// clsXMLExport: the report "XML Data Export" in the format "Output to XML".
//
// Writes every field of every loaded record into one XML file: CR LF line
// ends, TAB indentation, one computerInformation element per record in load
// order. The file is always well-formed XML 1.0: element values go through
// makeThisFieldOkay, attribute values and the videoMode text through
// makeThisAttributeOkay (the same, and a quotation mark as &#34;). A code
// page text that is not a whole number exports as "Unknown".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/AuditRecord.h"
#include "reportlib/clsReportBase.h"

namespace dovrel {

// "&" -> &#38;, "<" -> &#60;, TAB/LF/CR -> &#9;/&#10;/&#13;, other codes
// 0..31 -> "?", 127 -> &#127;, the ">" of "]]>" -> &#62; (that sequence may
// not stand in character data); every other character unchanged.
std::string makeThisFieldOkay(std::string_view text);
// makeThisFieldOkay and a quotation mark as &#34;.
std::string makeThisAttributeOkay(std::string_view text);

// The code page text as a whole number (blanks around it allowed), or none.
std::optional<std::int32_t> codePageNumber(std::string_view text);

// The four header lines and "<report>", each ending in CR LF.
std::string xmlFileHeader();
// The computerInformation block of one record, each line ending in CR LF.
void appendComputerBlock(std::string& out, const quorvane::AuditRecord& record);

class clsXMLExport final : public clsReportBase {
 public:
  explicit clsXMLExport(ReportHost host = ReportHost());

  bool doReport(std::int32_t lngReportType, const std::string& strPath) override;
};

}  // namespace dovrel
