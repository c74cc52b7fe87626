// ReportText: how the texts of audit records (Windows-1252 bytes) are written
// into the UTF-8 files of the CSV, JSON and HTML reports.
//
// appendCsvField writes one RFC 4180 field: the text as UTF-8, enclosed in
// quotation marks (with inner ones doubled) when it holds a comma, a
// quotation mark, CR or LF. appendHtmlText writes text for an HTML page:
// "&", "<", ">", '"' and "'" as character references, the control codes
// (which a page cannot show, NUL not even hold) as their visible Unicode
// control pictures, everything else as UTF-8. Pure functions.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace dovrel {

// The UTF-8 byte-order mark that tells spreadsheets the file's encoding.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// CSV records end in CR LF.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

void appendCsvField(std::string& out, std::string_view windows1252);
// Fields joined by "," and closed by CR LF.
void appendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields);

void appendHtmlText(std::string& out, std::string_view windows1252);
std::string htmlText(std::string_view windows1252);

}  // namespace dovrel
