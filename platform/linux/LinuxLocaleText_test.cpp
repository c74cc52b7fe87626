#include "platform/linux/LinuxLocaleText.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/DesktopHeadless.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxLocaleText, TheCharsetOfTheLocaleVariables) {
  struct Row {
    const char* name;
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    const char* expected;
  } rows[] = {
      {"nothing set", "", "", "", "UTF-8"},
      {"LANG alone", "", "", "de_DE.UTF-8", "UTF-8"},
      {"lower-case spelling", "", "", "en_US.utf8", "UTF-8"},
      {"LC_CTYPE before LANG", "", "de_DE.ISO-8859-1", "de_DE.UTF-8", "ISO-8859-1"},
      {"LC_ALL before both", "ru_RU.KOI8-R", "de_DE.ISO-8859-1", "", "KOI8-R"},
      {"modifier cut off", "", "", "de_DE.ISO-8859-15@euro", "ISO-8859-15"},
      {"C names no set", "C", "", "", "UTF-8"},
      {"a locale without a set", "", "", "de_DE", "UTF-8"},
      {"a dot and nothing after", "", "", "de_DE.", "UTF-8"},
  };
  for (const auto& r : rows) EXPECT_EQ(localeCharset(r.lcAll, r.lcCtype, r.lang), r.expected) << r.name;
}

TEST(LinuxLocaleText, RecordTextsInTheLocaleCharset) {
  const std::string gruesse = "Gr\xFC\xDF" "e \x80";  // "Grüße €" in Windows-1252
  struct Row {
    const char* name;
    std::string charset;
    std::string expected;
  } rows[] = {
      {"UTF-8", "UTF-8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
      {"utf8 spelling", "utf8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
      {"Latin-1 keeps the letters, the euro sign is transliterated",
       "ISO-8859-1", "Gr\xFC\xDF" "e EUR"},
      {"Latin-9 has the euro sign", "ISO-8859-15", "Gr\xFC\xDF" "e \xA4"},
      {"an unknown set falls back to UTF-8", "NO-SUCH-SET", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
  };
  for (const auto& r : rows) EXPECT_EQ(windows1252ToCharset(gruesse, r.charset), r.expected) << r.name;
  EXPECT_EQ(windows1252ToCharset("", "ISO-8859-1"), "");
}

TEST(LinuxLocaleText, AMessageBoxOnTheStreamIsInTheLocaleCharset) {
  std::ostringstream out;
  DesktopHeadless desktop(out, [](std::string_view t) { return windows1252ToCharset(t, "UTF-8"); });
  desktop.messageBox("Gr\xFC\xDF" "e\r\nJ\xFCrgen", 16, "Qu\xE9");
  EXPECT_EQ(out.str(), "== Qu\xC3\xA9 (style 16) ==\nGr\xC3\xBC\xC3\x9F" "e\nJ\xC3\xBCrgen\n==\n");
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
