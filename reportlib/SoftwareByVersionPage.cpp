// The page of the "Software by Version and Computer" report.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "reportlib/ReportText.h"
#include "reportlib/clsSoftwareByVersion.h"

namespace dovrel {

namespace {

constexpr std::string_view kPageHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Software by Version and Computer</title>
<style>
body{font-family:"Segoe UI",Helvetica,Arial,sans-serif;font-size:14px;background:#fff;color:#1b1f24;margin:1.5em}
h1{font-size:1.5em;margin:0 0 .2em}
.made{color:#57606a;margin:0 0 1em}
.totals{display:flex;flex-wrap:wrap;gap:1em;list-style:none;margin:0 0 1em;padding:0}
.totals li{background:#f3f6f9;border:1px solid #d0d7de;border-radius:4px;padding:.4em .9em}
.totals b{display:block;font-size:1.5em}
.controls{margin:0 0 .8em}
#filter{font:inherit;padding:.3em .5em;width:22em;margin:0 .6em}
table{border-collapse:collapse;width:100%}
th,td{border:1px solid #d0d7de;padding:.3em .5em;text-align:left;vertical-align:top}
thead th{background:#e7ecf1}
thead button{font:inherit;font-weight:bold;color:#0a58a8;background:none;border:0;padding:0;cursor:pointer}
th[aria-sort=ascending] button::after{content:" \25B2"}
th[aria-sort=descending] button::after{content:" \25BC"}
tbody.product:nth-of-type(even){background:#f8fafc}
.num{text-align:right;white-space:nowrap}
.pcs{list-style:none;margin:0;padding:0}
.pcs span{color:#57606a}
.noversion{color:#6e7781;font-style:italic}
[hidden]{display:none}
@media print{
body{font-size:9pt;color:#000;margin:0}
.controls{display:none}
thead{display:table-header-group}
tbody.product{break-inside:avoid}
thead button{color:#000}
th[aria-sort] button::after{content:""}
.totals li{background:none;border-color:#888}
}
</style>
</head>
<body>
<h1>Software by Version and Computer</h1>
)";

constexpr std::string_view kTableHead = R"(<div class="controls"><label for="filter">Filter products</label><input id="filter" type="search" autocomplete="off" placeholder="part of a product name"><span id="shown" aria-live="polite"></span></div>
<table id="software">
<thead><tr><th id="sortName" aria-sort="ascending" data-first="ascending"><button type="button">Product</button></th><th id="sortCount" class="num" data-first="descending"><button type="button">Installations</button></th><th>Version</th><th class="num">Computers</th><th>Host name, IP address, domain</th></tr></thead>
)";

// Filter by product name; sort by name or installations (ties by name).
constexpr std::string_view kPageTail = R"(</table>
<p id="nothing" hidden>No product matches the filter.</p>
<script>
(function () {
  var table = document.getElementById("software"), groups = [].slice.call(table.tBodies);
  var filter = document.getElementById("filter"), shown = document.getElementById("shown");
  groups.forEach(function (g, i) { g.order = i; g.key = g.querySelector(".name").textContent.toLowerCase(); });
  function apply() {
    var q = filter.value.trim().toLowerCase(), n = 0;
    groups.forEach(function (g) { g.hidden = g.key.indexOf(q) < 0; if (!g.hidden) n++; });
    shown.textContent = n + " of " + groups.length + " products shown";
    document.getElementById("nothing").hidden = n > 0 || groups.length === 0;
  }
  function sortBy(th, value) {
    var now = th.getAttribute("aria-sort");
    var dir = now ? (now === "ascending" ? -1 : 1) : (th.getAttribute("data-first") === "ascending" ? 1 : -1);
    [].forEach.call(table.tHead.querySelectorAll("th[aria-sort]"), function (h) { h.removeAttribute("aria-sort"); });
    th.setAttribute("aria-sort", dir > 0 ? "ascending" : "descending");
    groups.slice().sort(function (a, b) { return (value(a) - value(b)) * dir || a.order - b.order; })
      .forEach(function (g) { table.appendChild(g); });
  }
  filter.addEventListener("input", apply);
  document.querySelector("#sortName button").addEventListener("click", function () {
    sortBy(this.parentNode, function (g) { return g.order; });
  });
  document.querySelector("#sortCount button").addEventListener("click", function () {
    sortBy(this.parentNode, function (g) { return +g.getAttribute("data-count"); });
  });
  apply();
})();
</script>
</body>
</html>
)";

void appendTotals(std::string& out, const SoftwareGrouping& g, const std::string& madeOn) {
  out += "<p class=\"made\">Made on ";
  appendHtmlText(out, madeOn);
  out += " from the stored audits.</p>\n<ul class=\"totals\">\n";
  out += "<li><b id=\"computers\">" + std::to_string(g.computers().size()) + "</b>computers</li>\n";
  out += "<li><b id=\"products\">" + std::to_string(g.productCount()) +
         "</b>distinct products</li>\n";
  out += "<li><b id=\"installations\">" + std::to_string(g.installations()) +
         "</b>installations</li>\n</ul>\n";
  if (g.productCount() == 0) {
    out += "<p id=\"empty\">";
    out += g.computers().empty() ? "No audit is stored." : "The stored audits list no software.";
    out += "</p>\n";
  }
}

// Each computer's list item, escaped once: a computer appears under every
// version it has installed.
std::vector<std::string> computerItems(const SoftwareGrouping& g) {
  std::vector<std::string> items;
  items.reserve(g.computers().size());
  for (const ComputerIdentity& c : g.computers()) {
    std::string item = "<li>";
    appendHtmlText(item, c.hostName);
    item += " <span>";
    appendHtmlText(item, c.ip);
    item += " \xC2\xB7 ";  // a middle dot between address and domain
    appendHtmlText(item, c.domain);
    item += "</span></li>";
    items.push_back(std::move(item));
  }
  return items;
}

void appendComputers(std::string& out, const std::vector<std::string>& items, const VersionGroup& v) {
  out += "<ul class=\"pcs\">";
  for (const auto index : v.computers) out += items[index];
  out += "</ul>";
}

void appendProduct(std::string& out, const std::vector<std::string>& computers, const ProductGroup& p,
                   std::span<const VersionGroup> versions) {
  const std::string span = std::to_string(versions.size());
  out += "<tbody class=\"product\" data-count=\"" + std::to_string(p.installations) + "\">\n";
  for (std::size_t i = 0; i < versions.size(); ++i) {
    const VersionGroup& v = versions[i];
    out += "<tr>";
    if (i == 0) {
      out += "<th scope=\"rowgroup\" rowspan=\"" + span + "\" class=\"name\">";
      appendHtmlText(out, p.name);
      out += "</th><td class=\"num\" rowspan=\"" + span + "\">" + std::to_string(p.installations) +
             "</td>";
    }
    if (v.version.empty()) {
      out += "<td class=\"noversion\">no version</td>";
    } else {
      out += "<td class=\"version\">";
      appendHtmlText(out, v.version);
      out += "</td>";
    }
    out += "<td class=\"num\">" + std::to_string(v.computers.size()) + "</td><td>";
    appendComputers(out, computers, v);
    out += "</td></tr>\n";
  }
  out += "</tbody>\n";
}

}  // namespace

void writeSoftwareByVersionPage(std::ostream& out, const SoftwareGrouping& grouping,
                                const std::string& madeOn) {
  std::string part(kPageHead);
  appendTotals(part, grouping, madeOn);
  part += kTableHead;
  out << part;
  const std::vector<std::string> computers = computerItems(grouping);
  grouping.forEachProduct([&](const ProductGroup& product, std::span<const VersionGroup> versions) {
    part.clear();
    appendProduct(part, computers, product, versions);
    out << part;
  });
  out << kPageTail;
}

}  // namespace dovrel
