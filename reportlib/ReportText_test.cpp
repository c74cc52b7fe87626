// The texts of the CSV and HTML reports: RFC 4180 fields and HTML text from
// Windows-1252 bytes, with hostile and complete byte ranges.
#include "reportlib/ReportText.h"

#include <gtest/gtest.h>

#include "common/Text8.h"

namespace dovrel {
namespace {

struct TextCase {
  const char* name;
  std::string in;
  std::string csv;
  std::string html;
};

class ReportTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ReportTextTest, CsvFieldAndHtmlText) {
  std::string csv;
  appendCsvField(csv, GetParam().in);
  EXPECT_EQ(csv, GetParam().csv);
  EXPECT_EQ(htmlText(GetParam().in), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReportTextTest,
    ::testing::Values(
        TextCase{"Plain", "Microsoft Word", "Microsoft Word", "Microsoft Word"},
        TextCase{"Empty", "", "", ""},
        TextCase{"Comma", "1,024 Bytes", "\"1,024 Bytes\"", "1,024 Bytes"},
        TextCase{"Quotes", "say \"hi\"", "\"say \"\"hi\"\"\"", "say &quot;hi&quot;"},
        TextCase{"OnlyAQuote", "\"", "\"\"\"\"", "&quot;"},
        TextCase{"LineBreaks", "a\r\nb\nc\rd", "\"a\r\nb\nc\rd\"", "a\xE2\x90\x8D\xE2\x90\x8A" "b\xE2\x90\x8A" "c\xE2\x90\x8D" "d"},
        TextCase{"Markup", "<b>&amp;</b>", "<b>&amp;</b>", "&lt;b&gt;&amp;amp;&lt;/b&gt;"},
        TextCase{"Apostrophe", "it's", "it's", "it&#39;s"},
        TextCase{"Nul", std::string("a\0b", 3), std::string("a\0b", 3), "a\xE2\x90\x80" "b"},
        TextCase{"DeleteAndTab", "a\x7F\tb", "a\x7F\tb", "a\xE2\x90\xA1\xE2\x90\x89" "b"},
        TextCase{"Euro", "\x80 5", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
        TextCase{"Accented", "Caf\xE9, Stra\xDF" "e", "\"Caf\xC3\xA9, Stra\xC3\x9F" "e\"",
                 "Caf\xC3\xA9, Stra\xC3\x9F" "e"},
        TextCase{"UndefinedByte", "\x81", "\xC2\x81", "\xC2\x81"},
        TextCase{"SpacesKept", "  x  ", "  x  ", "  x  "}),
    [](const auto& info) { return std::string(info.param.name); });

std::string everyByte() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

// The inverse of appendCsvField for one quoted or unquoted field.
std::string unquote(const std::string& field) {
  if (field.empty() || field.front() != '"') return field;
  std::string out;
  for (std::size_t i = 1; i + 1 < field.size(); ++i) {
    out += field[i];
    if (field[i] == '"') ++i;  // the doubled mark
  }
  return out;
}

TEST(ReportTextTest, EveryByteSurvivesTheCsvField) {
  for (const std::string& text : {everyByte(), std::string(65535, '"'), std::string(65535, '\xFF')}) {
    std::string csv;
    appendCsvField(csv, text);
    EXPECT_EQ(quorvane::utf8ToWindows1252(unquote(csv)), text);
  }
}

TEST(ReportTextTest, HtmlTextHoldsNoMarkupOrControlCode) {
  const std::string html = htmlText(everyByte() + everyByte());
  EXPECT_EQ(html.find_first_of("<>\"'"), std::string::npos);
  for (const char c : html) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b >= 32 && b != 127) << "code " << static_cast<int>(b);
  }
  // Every "&" starts one of the five references.
  for (std::size_t at = html.find('&'); at != std::string::npos; at = html.find('&', at + 1)) {
    const std::string_view rest = std::string_view(html).substr(at);
    EXPECT_TRUE(rest.starts_with("&amp;") || rest.starts_with("&lt;") || rest.starts_with("&gt;") ||
                rest.starts_with("&quot;") || rest.starts_with("&#39;"))
        << rest.substr(0, 8);
  }
}

TEST(ReportTextTest, CsvRecordJoinsAndEndsInCrLf) {
  std::string out;
  appendCsvRecord(out, {"a", "b,c", "", "d\"e"});
  EXPECT_EQ(out, "a,\"b,c\",,\"d\"\"e\"\r\n");
}

}  // namespace
}  // namespace dovrel
