// The software assets report: counting rules, distinct lists, the exchange
// sort, row colours, placeholder escaping and the page, line by line.
#include "reportlib/clsReportSoftware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reportlib/DovrelTestSupport.h"

namespace dovrel {
namespace {

using testing::machine;
using testing::Recorded;
using testing::TempDir;

std::vector<std::string> names(const ApplicationTable& t) {
  std::vector<std::string> out;
  for (std::size_t i = 1; i < t.size(); ++i) out.push_back(t[i].name + "=" + std::to_string(t[i].count));
  return out;
}

TEST(CountSoftwareTest, DistinctListsKeepTheFirstFormSeen) {
  const std::vector<quorvane::AuditRecord> records = {
      machine("127.0.0.1", "PC1", "CORP", {}),
      machine("127.0.0.1", "pc1", "corp", {}),        // same address, same name, same domain
      machine("127.0.0.2", "PC2", "Corp2", {}),       // a domain that merely contains another
      machine("127.0.0.10", "Pc2", "WORKGROUP", {}),
  };
  const SoftwareTally t = countSoftware(records);
  EXPECT_EQ(t.computers, 4u);
  EXPECT_EQ(t.addresses, (std::vector<std::string>{"127.0.0.1", "127.0.0.2", "127.0.0.10"}));
  EXPECT_EQ(t.names, (std::vector<std::string>{"PC1", "PC2"}));
  EXPECT_EQ(t.domains, (std::vector<std::string>{"CORP", "Corp2", "WORKGROUP"}));
  EXPECT_EQ(t.applications.size(), 1u);  // the placeholder alone
}

TEST(CountSoftwareTest, AddressesCompareExactly) {
  const auto t = countSoftware({machine("127.0.0.1", "a", "d", {}), machine("127.0.0.01", "b", "d", {})});
  EXPECT_EQ(t.addresses.size(), 2u);
}

struct CountCase {
  const char* name;
  std::vector<std::vector<std::string>> machines;  // applications per machine
  std::vector<std::string> expected;               // "name=count" in table order
};

class CountApplicationsTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountApplicationsTest, Table) {
  std::vector<quorvane::AuditRecord> records;
  int i = 1;
  for (const auto& apps : GetParam().machines) {
    records.push_back(machine("127.0.0." + std::to_string(i), "PC" + std::to_string(i), "d", apps));
    ++i;
  }
  const SoftwareTally t = countSoftware(records);
  EXPECT_EQ(t.applications[0], ApplicationTally{});
  EXPECT_EQ(names(t.applications), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CountApplicationsTest,
    ::testing::Values(
        CountCase{"CaseAndBlanksFold", {{"Word"}, {" word "}, {"WORD"}}, {"Word=3"}},
        CountCase{"DifferentNamesStayApart", {{"Microsoft Word", "Word"}}, {"Microsoft Word=1", "Word=1"}},
        CountCase{"TwiceInOneRecordCountsTwice", {{"Zip", "Zip"}}, {"Zip=2"}},
        CountCase{"BlankNamesSkipped", {{"", "   ", "Tool"}}, {"Tool=1"}},
        CountCase{"FirstTrimmedFormKept", {{"  Acrobat  "}, {"ACROBAT"}}, {"Acrobat=2"}},
        CountCase{"MachineWithoutApplications", {{}, {"A"}}, {"A=1"}},
        CountCase{"AccentedCapitalsFold", {{"Caf\xC9"}, {"caf\xE9"}}, {"Caf\xC9=2"}},
        CountCase{"FiveMachines", {{"X"}, {"X"}, {"X"}, {"X"}, {"X"}}, {"X=5"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SortStringTest, AscendingByLowerCasedNameWithCounts) {
  ApplicationTable t{{}, {"beta", 2}, {"Alpha", 5}, {"gamma", 1}, {"ALPHA2", 3}, {"Beta ", 7}};
  sortString(t);
  EXPECT_EQ(t[0], ApplicationTally{});
  EXPECT_EQ(names(t), (std::vector<std::string>{"Alpha=5", "ALPHA2=3", "beta=2", "Beta =7", "gamma=1"}));
}

TEST(SortStringTest, EqualNamesNeverChangePlaces) {
  ApplicationTable t{{}, {"b", 1}, {"A", 1}, {"a", 2}, {"A", 3}};
  sortString(t);
  EXPECT_EQ(names(t), (std::vector<std::string>{"A=1", "a=2", "A=3", "b=1"}));
}

TEST(SortStringTest, OrdinalOrderAfterLowerCase) {
  // "_" (95) sorts after the capitals but before the lower-case letters; so
  // after lower-casing it stands before "a"; bytes above 127 come last.
  ApplicationTable t{{}, {"\xE9t\xE9", 1}, {"b", 1}, {"_x", 1}, {"Z", 1}, {"1", 1}};
  sortString(t);
  EXPECT_EQ(names(t), (std::vector<std::string>{"1=1", "_x=1", "b=1", "Z=1", "\xE9t\xE9=1"}));
}

TEST(SortStringTest, StopsAfterAPassWithoutExchange) {
  ApplicationTable sorted{{}, {"a", 1}, {"b", 1}, {"c", 1}};
  EXPECT_EQ(sortString(sorted), 1);
  ApplicationTable reversed{{}, {"c", 1}, {"b", 1}, {"a", 1}};
  EXPECT_EQ(sortString(reversed), 3);
  ApplicationTable placeholderOnly{{}};
  EXPECT_EQ(sortString(placeholderOnly), 0);
  EXPECT_EQ(placeholderOnly.size(), 1u);
}

// The exchange sort the report has always made: the reference for the
// faster sort, which must give the same table (so the same page) and count
// the same passes.
int exchangeSortReference(ApplicationTable& table) {
  if (table.size() < 3) return table.size() < 2 ? 0 : 1;
  int passes = 0;
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    ++passes;
    for (std::size_t i = 1; i + 1 < table.size(); ++i) {
      if (lowerCase(table[i].name) > lowerCase(table[i + 1].name)) {
        std::swap(table[i], table[i + 1]);
        exchanged = true;
      }
    }
  }
  return passes;
}

TEST(SortStringTest, SameTableAndPassesAsTheExchangeSort) {
  std::mt19937 rng(7);
  const std::vector<std::string> stems{"a", "A", "b", "B ", "word", "Word", "WORD", "_x", "\xC9t\xE9", "\xE9t\xE9", "z", ""};
  for (int round = 0; round < 300; ++round) {
    ApplicationTable t{{}};
    const int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) {
      std::string name = stems[rng() % stems.size()];
      if (rng() % 2) name += std::to_string(rng() % 5);
      t.push_back({name, static_cast<long>(i)});  // the count tells equal names apart
    }
    if (round % 10 == 0) std::reverse(t.begin() + 1, t.end());
    ApplicationTable expected = t;
    const int expectedPasses = exchangeSortReference(expected);
    const int passes = sortString(t);
    ASSERT_EQ(t, expected) << "round " << round;
    ASSERT_EQ(passes, expectedPasses) << "round " << round;
  }
}

TEST(HelpersTest, RowColoursAlternate) {
  EXPECT_EQ(rowColour(0), "#CCCCCC");
  EXPECT_EQ(rowColour(1), "#999999");
  EXPECT_EQ(rowColour(2), "#CCCCCC");
  EXPECT_EQ(rowColour(3), "#999999");
}

TEST(HelpersTest, StrMyJoin) {
  EXPECT_EQ(strMyJoin({}, ", "), "");
  EXPECT_EQ(strMyJoin({"127.0.0.1"}, ", "), "127.0.0.1");
  EXPECT_EQ(strMyJoin({"a", "b", "c"}, ", "), "a, b, c");
  EXPECT_EQ(strMyJoin({"a", ""}, ", "), "a");  // the trailing separator is dropped once
  EXPECT_EQ(strMyJoin({"a, "}, ", "), "a");
}

TEST(HelpersTest, HtmlEscapeAndReplaceAll) {
  EXPECT_EQ(htmlEscape("<script>alert(\"x\")</script> & co"),
            "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co");
  EXPECT_EQ(htmlEscape("O'Neil \xE9"), "O'Neil \xE9");
  EXPECT_EQ(replaceAll("%a% %a%%a%", "%a%", "x"), "x xx");
  EXPECT_EQ(replaceAll("%a%", "%a%", "%a%%a%"), "%a%%a%");  // no rescanning of the replacement
}

TEST(SplitTemplateTest, PiecesAndFailures) {
  auto ok = splitTemplate("H<QuorvanePro:Replicate>\r\n R \r\n</QuorvanePro:Replicate>T</QuorvanePro:Replicate>");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->head, "H");
  EXPECT_EQ(ok->row, "\r\n R \r\n");
  EXPECT_EQ(ok->tail, "T</QuorvanePro:Replicate>");
  EXPECT_FALSE(splitTemplate("no tags at all"));
  EXPECT_FALSE(splitTemplate("only <QuorvanePro:Replicate> opening"));
  EXPECT_FALSE(splitTemplate("</QuorvanePro:Replicate> before <QuorvanePro:Replicate>"));
}

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "lib" / "Template");
  }
  std::string templateFile() const { return (dir_.path() / "lib" / "Template" / "Template0.htm").string(); }

  // Runs a report over `records` (each stored as a DataStore file).
  std::string run(const std::vector<quorvane::AuditRecord>& records, std::int32_t format = 0,
                  bool expectOk = true) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < records.size(); ++i) {
      paths.push_back(testing::writeStored(dir_, "c" + std::to_string(i) + ".dat", records[i]));
    }
    clsReportSoftware report(testing::recordingHost(messages_));
    report.setLibraryFolder(dir_.path() / "lib");
    report.setDateTimeText("12/8/2024 5:36:12 PM");
    EXPECT_TRUE(report.Init(paths));
    const std::string out = dir_.file("My Report.html");
    EXPECT_EQ(report.doReport(format, out), expectOk);
    return out;
  }

  TempDir dir_;
  std::vector<Recorded> messages_;
};

TEST_F(PageTest, WritesHeadRowsAndTailLineByLine) {
  testing::writeBytes(templateFile(),
                      "<p>%computer_count% on %date_time%</p>\r\n<p>%ip_addresses%|%computer_names%|"
                      "%domains_workgroups%</p>\r\n<table>"
                      "<QuorvanePro:Replicate><tr bgcolor=\"%row_colour%\"><td>%product_name%</td>"
                      "<td>%count%</td></tr></QuorvanePro:Replicate></table>");
  const std::string out = run({machine("127.0.0.1", "PC1", "CORP", {"Word", "Zip", "acrobat"}),
                               machine("127.0.0.2", "pc1", "Corp", {"word", "Zip"}),
                               machine("127.0.0.3", "PC3", "Home", {})});
  EXPECT_TRUE(messages_.empty());
  const auto lines = testing::crlfLines(testing::readBytes(out));
  const std::vector<std::string> expected = {
      "<p>3 on 12/8/2024 5:36:12 PM</p>",
      "<p>127.0.0.1, 127.0.0.2, 127.0.0.3|PC1, PC3|CORP, Home</p>",
      "<table>",
      "<tr bgcolor=\"#CCCCCC\"><td>acrobat</td><td>1</td></tr>",
      "<tr bgcolor=\"#999999\"><td>Word</td><td>2</td></tr>",
      "<tr bgcolor=\"#CCCCCC\"><td>Zip</td><td>2</td></tr>",
      "</table>",
      "",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(PageTest, HostileNamesAreEscapedInEveryPlaceholder) {
  testing::writeBytes(templateFile(),
                      "%ip_addresses%;%computer_names%;%domains_workgroups%<QuorvanePro:Replicate>"
                      "[%product_name%]</QuorvanePro:Replicate>");
  const std::string out =
      run({machine("127.0.0.1\"x", "<b>PC</b>", "A&B", {"<script>alert(1)</script>"})});
  const auto lines = testing::crlfLines(testing::readBytes(out));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "127.0.0.1&quot;x;&lt;b&gt;PC&lt;/b&gt;;A&amp;B");
  EXPECT_EQ(lines[1], "[&lt;script&gt;alert(1)&lt;/script&gt;]");
  EXPECT_EQ(testing::readBytes(out).find("<script>"), std::string::npos);
}

// Audit text that looks like a placeholder is data: it is written as it
// stands, never filled.
TEST_F(PageTest, PlaceholderLikeTextFromAnAuditStaysAsItIs) {
  testing::writeBytes(templateFile(),
                      "%computer_names%|%domains_workgroups%|%ip_addresses%<QuorvanePro:Replicate>"
                      "%count% %product_name%</QuorvanePro:Replicate>");
  const std::string out = run({machine("127.0.0.1", "%count%", "%computer_names%",
                                       {"%computer_names% Ad-Aware 6.0", "%count%", "100%row_colour%"})});
  const auto lines = testing::crlfLines(testing::readBytes(out));
  const std::vector<std::string> expected = {
      "%count%|%computer_names%|127.0.0.1",
      "1 %computer_names% Ad-Aware 6.0",
      "1 %count%",
      "1 100%row_colour%",
      "",  // the empty tail
      "",
  };
  EXPECT_EQ(lines, expected);
}

TEST(HelpersTest, FillPlaceholdersInOnePass) {
  const struct {
    const char* name;
    const char* text;
    const char* expected;
  } rows[] = {
      {"each placeholder", "%a%-%b%", "x-%a%"},
      {"a value is never filled again", "%b%%a%", "%a%x"},
      {"unknown names and lone signs stay", "100% %c% %", "100% %c% %"},
      {"adjacent and repeated", "%a%%a%%a%", "xxx"},
      {"a sign before a placeholder", "%%a%", "%x"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(fillPlaceholders(row.text, {{"%a%", "x"}, {"%b%", "%a%"}}), row.expected) << row.name;
  }
}

TEST_F(PageTest, NoRecordsMeansNoComputers) {
  testing::writeBytes(templateFile(), "%computer_count%/%ip_addresses%/<QuorvanePro:Replicate>r</QuorvanePro:Replicate>t");
  const std::string out = run({});
  EXPECT_EQ(testing::readBytes(out), "0//\r\nt\r\n");
}

TEST_F(PageTest, OtherFormatNumbersWriteNothing) {
  testing::writeBytes(templateFile(), "<QuorvanePro:Replicate></QuorvanePro:Replicate>");
  const std::string out = run({machine("127.0.0.1", "a", "b", {"x"})}, 1, false);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(PageTest, BrokenTemplateIsReportedAndFails) {
  testing::writeBytes(templateFile(), "<html>no replicate block</html>");
  run({machine("127.0.0.1", "a", "b", {"x"})}, 0, false);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text.rfind("Error in : Dovrel.clsReportSoftware.doOutput()\r\n", 0), 0u);
}

TEST_F(PageTest, DefaultTemplateIsWrittenWhenMissingAndNeverOverwritten) {
  std::filesystem::remove_all(dir_.path() / "lib" / "Template");
  const std::string out = run({machine("127.0.0.1", "PC1", "CORP", {"Word", "Zip", "Acrobat"})});
  auto builtIn = defaultTemplate();
  ASSERT_TRUE(builtIn);
  EXPECT_EQ(testing::readBytes(templateFile()), *builtIn);
  const std::string page = testing::readBytes(out);
  EXPECT_NE(page.find("Report on 1 computers on 12/8/2024 5:36:12 PM"), std::string::npos);
  EXPECT_NE(page.find("Click here for IP Addresses"), std::string::npos);
  EXPECT_NE(page.find("<li>127.0.0.1</li>"), std::string::npos);
  EXPECT_NE(page.find("bgcolor=\"#999999\""), std::string::npos);
  EXPECT_EQ(page.find("%"  "product_name%"), std::string::npos);
  EXPECT_EQ(page.find("QuorvanePro:Replicate"), std::string::npos);

  // A template of the user's own stays as it is.
  testing::writeBytes(templateFile(), "mine<QuorvanePro:Replicate>%product_name%,</QuorvanePro:Replicate>");
  const std::string again = run({machine("127.0.0.1", "PC1", "CORP", {"B", "A"})});
  EXPECT_EQ(testing::readBytes(templateFile()),
            "mine<QuorvanePro:Replicate>%product_name%,</QuorvanePro:Replicate>");
  EXPECT_EQ(testing::readBytes(again), "mine\r\nA,\r\nB,\r\n\r\n");
}

TEST(DefaultTemplateTest, HoldsWhatThePageNeeds) {
  auto t = defaultTemplate();
  ASSERT_TRUE(t);
  for (const char* needle :
       {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"", "charset=iso-8859-1",
        "bgcolor=\"#666666\"", "text=\"#000000\"", "link=\"#FFFF00\"", "Installed Software Report",
        "Report on %computer_count% computers on %date_time%", "Click here for IP Addresses",
        "Click here for Computer Names", "Click here for Domains/Workgroups", "%ip_addresses%",
        "%computer_names%", "%domains_workgroups%", "width=\"65%\"", "align=\"center\"",
        "Product Name", "Product Count", "width=\"80%\"", "width=\"20%\"", "%row_colour%",
        "%product_name%", "%count%", "class=\"toc\"", "class=\"close\"", "class=\"none\""}) {
    EXPECT_NE(t->find(needle), std::string::npos) << needle;
  }
  auto parts = splitTemplate(*t);
  ASSERT_TRUE(parts);
  EXPECT_NE(parts->row.find("%product_name%"), std::string::npos);
  EXPECT_NE(parts->tail.find("</html>"), std::string::npos);
}

}  // namespace
}  // namespace dovrel
