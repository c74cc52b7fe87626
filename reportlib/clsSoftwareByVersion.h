// clsSoftwareByVersion: the report "Software by Version and Computer" in the
// format "Output to HTML" (format number 0).
//
// Groups the installed applications (isInstalledApplication) of all stored
// audits by product: the display name without surrounding blanks, compared
// lower-cased, shown in the form first seen (as the software-assets report
// counts them). Each product lists its versions (the display version without
// surrounding blanks, exact text), the number of computers per version and
// those computers (host name, IP address, domain); its installation count
// is the number of application entries, as in the software-assets report.
// The page, a self-contained UTF-8 HTML file on a light background with a
// print style sheet, opens with the totals (computers, distinct products,
// installations) and has a filter field and sortable Product and
// Installations headers driven by a few lines of inline script. Every text
// from an audit goes through appendHtmlText.
//
// Unlike the other streamed reports this one holds the grouping of the
// whole fleet until the end: one entry per computer, product and distinct
// version text, and three numbers per installation.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reportlib/clsAuditStreamReport.h"

namespace dovrel {

inline constexpr std::string_view kCatalogSoftwareByVersion =
    "Software by Version and Computer::clsSoftwareByVersion::{Output to HTML,.html}";

struct ProductGroup {
  std::string key;   // trimmed display name, lower-cased
  std::string name;  // trimmed display name, first form seen
  std::size_t installations = 0;
};

// One version of a product: its text (trimmed display version) and the
// computers that have it (positions in SoftwareGrouping::computers, ascending,
// each once).
struct VersionGroup {
  std::string_view version;
  std::span<const std::uint32_t> computers;
};

struct ComputerIdentity {
  std::string hostName;
  std::string ip;
  std::string domain;
};

// Installations are kept as three numbers each (product, version text,
// computer); products and version texts once each.
class SoftwareGrouping {
 public:
  void add(const quorvane::AuditRecord& record);
  // Orders products by lower-cased name (ordinal) and versions naturally
  // (digit runs compared as numbers, the rest lower-cased). Ends the adding.
  void sort();
  // After sort: every product in order with its versions in order.
  using ProductVisitor =
      std::function<void(const ProductGroup&, std::span<const VersionGroup> versions)>;
  void forEachProduct(const ProductVisitor& visit) const;

  const std::vector<ComputerIdentity>& computers() const { return computers_; }
  std::size_t productCount() const { return products_.size(); }
  std::size_t installations() const { return installations_.size(); }

 private:
  struct Installation {
    std::uint32_t product;
    std::uint32_t version;
    std::uint32_t computer;
  };
  // Texts looked up without building a string first.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using TextIndex = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

  std::uint32_t versionId(std::string_view version);

  std::vector<ComputerIdentity> computers_;
  std::vector<ProductGroup> products_;
  TextIndex productIndex_;  // key -> product, until sorted
  std::vector<std::string> versions_;
  TextIndex versionIndex_;  // text -> versions_, until sorted
  std::string key_;         // the lower-cased name being added
  std::vector<Installation> installations_;  // sorted by product, version, computer by sort()
};

// Negative, 0 or positive as `a` sorts before, with or after `b`.
int naturalCompare(std::string_view a, std::string_view b);

// The whole page for a grouping; `madeOn` is the date text in its first lines.
void writeSoftwareByVersionPage(std::ostream& out, const SoftwareGrouping& grouping,
                                const std::string& madeOn);

class clsSoftwareByVersion final : public clsAuditStreamReport {
 public:
  explicit clsSoftwareByVersion(ReportHost host = ReportHost());

  // The date text of the page; the current local time unless set.
  void setDateTimeText(std::string text) { dateTime_ = std::move(text); }

 protected:
  void begin(std::ostream& out) override;
  void audit(std::ostream& out, const quorvane::AuditRecord& record) override;
  void end(std::ostream& out) override;

 private:
  SoftwareGrouping grouping_;
  std::string dateTime_;
};

}  // namespace dovrel
