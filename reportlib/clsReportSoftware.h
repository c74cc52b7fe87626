// clsReportSoftware: the report "Report Software Assets" in the format
// "Output to HTML" (format number 0).
//
// Counts every installed application over the loaded records, sorts them by
// name and writes an HTML page from Template/Template0.htm beside the
// library (the built-in default is written there first when the file is
// missing; an existing file is never replaced). The page's head gets the
// totals and the lists of distinct addresses, host names and domains; every
// application gets one row. Values put into placeholders are written with
// "&", "<", ">" and quotation marks as character references.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AuditRecord.h"
#include "common/Status.h"
#include "reportlib/clsReportBase.h"
#include "reportlib/modMain.h"

namespace dovrel {

inline constexpr std::string_view kReplicateOpen = "<QuorvanePro:Replicate>";
inline constexpr std::string_view kReplicateClose = "</QuorvanePro:Replicate>";
inline constexpr std::string_view kTemplateFolder = "Template";
inline constexpr std::string_view kTemplateFile = "Template0.htm";

// The counting of one report.
struct SoftwareTally {
  std::vector<std::string> addresses;  // exact text, first form seen
  std::vector<std::string> names;      // compared lower-cased, first form seen
  std::vector<std::string> domains;    // compared lower-cased, first form seen
  ApplicationTable applications{ApplicationTally{}};  // entry 0: placeholder
  std::size_t computers = 0;
};

SoftwareTally countSoftware(const std::vector<quorvane::AuditRecord>& records,
                            modProgress* progress = nullptr);

// Joins with `separator`, then drops one trailing separator.
std::string strMyJoin(const std::vector<std::string>& list, std::string_view separator);
// "&", "<", ">" and '"' as HTML character references.
std::string htmlEscape(std::string_view text);
// Replaces every occurrence of `what`.
std::string replaceAll(std::string text, std::string_view what, std::string_view with);
// One placeholder of a template and the text it stands for.
struct Placeholder {
  std::string_view name;  // with its "%" signs
  std::string value;
};
// Fills every placeholder of `text` in one pass from left to right: the
// values put in are never searched again, so text from an audit that looks
// like a placeholder stays as it is.
std::string fillPlaceholders(std::string_view text, const std::vector<Placeholder>& values);
// "#CCCCCC" for row 0, then alternately "#999999" and "#CCCCCC".
std::string_view rowColour(std::size_t row);

// The largest template file a report reads (a page of HTML is far smaller).
inline constexpr std::uint64_t kMaxTemplateSize = 16u << 20;

struct TemplateParts {
  std::string head;
  std::string row;
  std::string tail;
};
// Splits at the first opening tag and the first closing tag after it.
quorvane::Expected<TemplateParts> splitTemplate(std::string_view text);

// The built-in default template's bytes (unpacked from the library).
quorvane::Expected<std::string> defaultTemplate();

class clsReportSoftware final : public clsReportBase {
 public:
  explicit clsReportSoftware(ReportHost host = ReportHost());

  bool doReport(std::int32_t lngReportType, const std::string& strPath) override;

  // Where Template/ is looked for; the library's own folder unless set.
  void setLibraryFolder(std::filesystem::path folder) { folder_ = std::move(folder); }
  std::filesystem::path templatePath() const;
  // The date and time text of the page; the current time unless set.
  void setDateTimeText(std::string text) { dateTime_ = std::move(text); }

  const SoftwareTally& tally() const { return tally_; }

 private:
  bool doHTMLReport(const std::string& path);
  bool doOutput(const std::string& path);
  std::optional<TemplateParts> readTemplate(const std::string& where);

  std::filesystem::path folder_;
  std::string dateTime_;
  SoftwareTally tally_;
};

}  // namespace dovrel
