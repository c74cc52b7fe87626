#include "reportlib/clsSoftwareByVersion.h"

#include <QDateTime>
#include <QString>

#include <algorithm>

#include "reportlib/ReportText.h"
#include "reportlib/modMain.h"

namespace dovrel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the digit run at `at` and where its significant digits start.
std::pair<std::size_t, std::size_t> digitRun(std::string_view s, std::size_t at) {
  std::size_t end = at;
  while (end < s.size() && isDigit(s[end])) ++end;
  std::size_t first = at;
  while (first + 1 < end && s[first] == '0') ++first;
  return {first, end};
}

}  // namespace

int naturalCompare(std::string_view aText, std::string_view bText) {
  const std::string a = lowerCase(aText), b = lowerCase(bText);
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      const auto [af, ae] = digitRun(a, i);
      const auto [bf, be] = digitRun(b, j);
      const std::string_view an(a.data() + af, ae - af), bn(b.data() + bf, be - bf);
      if (an.size() != bn.size()) return an.size() < bn.size() ? -1 : 1;
      if (const int c = an.compare(bn); c != 0) return c;
      i = ae;
      j = be;
      continue;
    }
    const auto ac = static_cast<unsigned char>(a[i]), bc = static_cast<unsigned char>(b[j]);
    if (ac != bc) return ac < bc ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return a.compare(b);  // "1.01" and "1.1": still a stable, total order
}

void SoftwareGrouping::add(const quorvane::AuditRecord& record) {
  const auto& network = record.Hardware.Network;
  const auto computer = static_cast<std::uint32_t>(computers_.size());
  computers_.push_back({network.Hostname, network.IP, network.DomainName});
  for (const auto& application : record.Software.Applications) {
    if (!isInstalledApplication(application)) continue;
    const std::string_view name = trimBlanks(application.DisplayName);
    auto [at, added] = index_.try_emplace(lowerCase(name), products_.size());
    if (added) products_.push_back({at->first, std::string(name), 0, {}});
    ProductGroup& product = products_[at->second];
    ++product.installations;
    ++installations_;
    const std::string_view version = trimBlanks(application.DisplayVersion);
    auto v = std::find_if(product.versions.begin(), product.versions.end(),
                          [&](const VersionGroup& g) { return g.version == version; });
    if (v == product.versions.end()) {
      product.versions.push_back({std::string(version), {}});
      v = product.versions.end() - 1;
    }
    // Audits arrive one after the other: a repeat of this computer is the last entry.
    if (v->computers.empty() || v->computers.back() != computer) v->computers.push_back(computer);
  }
}

void SoftwareGrouping::sort() {
  index_ = {};
  std::stable_sort(products_.begin(), products_.end(),
                   [](const ProductGroup& x, const ProductGroup& y) { return x.key < y.key; });
  for (auto& product : products_) {
    if (product.versions.size() < 2) continue;
    std::stable_sort(product.versions.begin(), product.versions.end(),
                     [](const VersionGroup& x, const VersionGroup& y) {
                       return naturalCompare(x.version, y.version) < 0;
                     });
  }
}

clsSoftwareByVersion::clsSoftwareByVersion(ReportHost host)
    : clsAuditStreamReport("clsSoftwareByVersion", "Creating HTML Report ...", std::move(host)) {}

void clsSoftwareByVersion::begin(std::ostream&) { grouping_ = SoftwareGrouping(); }

void clsSoftwareByVersion::audit(std::ostream&, const quorvane::AuditRecord& record) {
  grouping_.add(record);
}

void clsSoftwareByVersion::end(std::ostream& out) {
  progress_.setStatus("Outputting HTML ...");
  grouping_.sort();
  std::string madeOn = dateTime_;
  if (madeOn.empty()) {
    madeOn = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
  }
  writeSoftwareByVersionPage(out, grouping_, madeOn);
}

}  // namespace dovrel
