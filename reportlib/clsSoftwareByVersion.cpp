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

std::uint32_t SoftwareGrouping::versionId(std::string_view version) {
  if (const auto at = versionIndex_.find(version); at != versionIndex_.end()) return at->second;
  const auto id = static_cast<std::uint32_t>(versions_.size());
  versions_.push_back(versionIndex_.emplace(std::string(version), id).first->first);
  return id;
}

void SoftwareGrouping::add(const quorvane::AuditRecord& record) {
  const auto& network = record.Hardware.Network;
  const auto computer = static_cast<std::uint32_t>(computers_.size());
  computers_.push_back({network.Hostname, network.IP, network.DomainName});
  for (const auto& application : record.Software.Applications) {
    if (!isInstalledApplication(application)) continue;
    const std::string_view name = trimBlanks(application.DisplayName);
    key_.assign(name);
    lowerCaseInPlace(key_);
    auto at = productIndex_.find(std::string_view(key_));
    if (at == productIndex_.end()) {
      at = productIndex_.emplace(key_, static_cast<std::uint32_t>(products_.size())).first;
      products_.push_back({key_, std::string(name), 0});
    }
    ++products_[at->second].installations;
    installations_.push_back({at->second, versionId(trimBlanks(application.DisplayVersion)), computer});
  }
}

void SoftwareGrouping::sort() {
  productIndex_ = {};
  versionIndex_ = {};
  std::vector<std::uint32_t> order(products_.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  // Keys are unique: no two products compare equal.
  std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    return products_[x].key < products_[y].key;
  });
  std::vector<ProductGroup> sorted;
  sorted.reserve(products_.size());
  std::vector<std::uint32_t> productRank(products_.size());
  for (std::uint32_t r = 0; r < order.size(); ++r) {
    productRank[order[r]] = r;
    sorted.push_back(std::move(products_[order[r]]));
  }
  products_ = std::move(sorted);
  for (auto& i : installations_) i.product = productRank[i.product];
  // Versions only group here; forEachProduct puts each product's few in order.
  std::sort(installations_.begin(), installations_.end(), [](const Installation& a, const Installation& b) {
    return a.product != b.product ? a.product < b.product
           : a.version != b.version ? a.version < b.version
                                    : a.computer < b.computer;
  });
}

void SoftwareGrouping::forEachProduct(const ProductVisitor& visit) const {
  std::vector<std::uint32_t> computers;
  std::vector<VersionGroup> versions;
  std::vector<std::pair<std::uint32_t, std::size_t>> starts;  // version, first computer
  for (std::size_t at = 0; at < installations_.size();) {
    const std::uint32_t product = installations_[at].product;
    computers.clear();
    starts.clear();
    for (; at < installations_.size() && installations_[at].product == product; ++at) {
      const Installation& i = installations_[at];
      if (starts.empty() || starts.back().first != i.version) {
        starts.emplace_back(i.version, computers.size());
      } else if (computers.back() == i.computer) {
        continue;  // the same computer lists this version twice
      }
      computers.push_back(i.computer);
    }
    versions.clear();
    for (std::size_t v = 0; v < starts.size(); ++v) {
      const std::size_t end = v + 1 < starts.size() ? starts[v + 1].second : computers.size();
      versions.push_back({versions_[starts[v].first],
                          std::span<const std::uint32_t>(computers.data() + starts[v].second,
                                                         end - starts[v].second)});
    }
    if (versions.size() > 1) {
      std::stable_sort(versions.begin(), versions.end(), [](const VersionGroup& x, const VersionGroup& y) {
        return naturalCompare(x.version, y.version) < 0;
      });
    }
    visit(products_[product], versions);
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
