// The page of "Software by Version and Computer": totals, hostile texts
// escaped (markup, quotes, control codes, 8-bit text, a very long domain),
// no external file, and the empty DataStore.
#include <gtest/gtest.h>

#include <sstream>

#include "reportlib/DovrelTestSupport.h"
#include "reportlib/clsSoftwareByVersion.h"

namespace dovrel {
namespace {

using testing::withApps;

TEST(SoftwareByVersionPageTest, TotalsAndEscapedTexts) {
  SoftwareGrouping g;
  quorvane::AuditRecord r = withApps("127.0.0.1", "<script>alert(1)</script>",
                                     {{"Tools <Beta> & \"Co\"", "1.0'\x01"}, {"Caf\xE9", "\x80"}});
  r.Hardware.Network.DomainName = std::string(65535, '<');
  g.add(r);
  g.sort();
  std::ostringstream page;
  writeSoftwareByVersionPage(page, g, "2026-01-02 03:04");
  const std::string html = page.str();
  EXPECT_NE(html.find("<b id=\"computers\">1</b>"), std::string::npos);
  EXPECT_NE(html.find("<b id=\"products\">2</b>"), std::string::npos);
  EXPECT_NE(html.find("<b id=\"installations\">2</b>"), std::string::npos);
  EXPECT_NE(html.find("Tools &lt;Beta&gt; &amp; &quot;Co&quot;"), std::string::npos);
  EXPECT_NE(html.find("1.0&#39;\xE2\x90\x81"), std::string::npos);
  EXPECT_NE(html.find("Caf\xC3\xA9"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("<<"), std::string::npos);
  std::string longDomain;
  for (int i = 0; i < 65535; ++i) longDomain += "&lt;";
  EXPECT_NE(html.find(" \xC2\xB7 " + longDomain + "</span>"), std::string::npos);
  EXPECT_NE(html.find("@media print"), std::string::npos);
  EXPECT_EQ(html.find("src="), std::string::npos);  // no external file
}

TEST(SoftwareByVersionPageTest, EmptyDataStoreSaysSo) {
  SoftwareGrouping g;
  std::ostringstream page;
  writeSoftwareByVersionPage(page, g, "today");
  EXPECT_NE(page.str().find("No audit is stored."), std::string::npos);
  EXPECT_NE(page.str().find("<b id=\"computers\">0</b>"), std::string::npos);
  EXPECT_EQ(page.str().find("<tbody"), std::string::npos);
  EXPECT_NE(page.str().find("</html>"), std::string::npos);
}

}  // namespace
}  // namespace dovrel
