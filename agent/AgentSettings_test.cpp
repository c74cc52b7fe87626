// clientSettings.txt: every rule of the reader, one named row per case.
#include "agent/AgentSettings.h"

#include <gtest/gtest.h>

// Rows of reads that succeed leave the error columns out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quorvane::agent {
namespace {

struct Row {
  const char* name;
  std::string text;
  double random;
  std::function<void(const AgentSettings&)> check;  // when reading succeeds
  long errorNumber = 0;                              // else the error expected
  long errorLine = 0;
  std::string errorValue;
  std::string expectedType;
};

void defaults(const AgentSettings& s) {
  EXPECT_EQ(s.strServerIP, "");
  EXPECT_EQ(s.lngConnectPort, 0);
  EXPECT_FALSE(s.blnAllowQuit);
  EXPECT_EQ(s.strQuitPassword, "");
  EXPECT_EQ(s.lngListenPort, 0);
  EXPECT_EQ(s.lngReauditMin, 0);
  EXPECT_EQ(s.lngReauditMax, 0);
  EXPECT_FALSE(s.blnShowSystemTray);
  EXPECT_EQ(s.auditDelayMs, std::nullopt);
  EXPECT_EQ(s.reauditIntervalHours, 0);
}

TEST(ParseClientSettings, Table) {
  const std::vector<Row> rows = {
      {"empty file", "", 0, defaults},
      {"comments and blank lines only", "# a comment\r\n\r\n   \r\n#ServerIP:127.0.0.9\r\n", 0,
       defaults},
      {"every key", "ServerIP:127.0.0.1\r\nConnectPortNumber:5000\r\nAllowQuit:True\r\n"
                    "QuitPassword:Secret\r\nListenPortNumber:5001\r\nShowSystemTray:1\r\n",
       0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.strServerIP, "127.0.0.1");
         EXPECT_EQ(s.lngConnectPort, 5000);
         EXPECT_TRUE(s.blnAllowQuit);
         EXPECT_EQ(s.strQuitPassword, "Secret");
         EXPECT_EQ(s.lngListenPort, 5001);
         EXPECT_TRUE(s.blnShowSystemTray);
       }},
      {"a blank after the colon stays in the value", "ServerIP: 127.0.0.1", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.strServerIP, " 127.0.0.1"); }},
      {"a blank before the key matches nothing", " ServerIP:127.0.0.1", 0, defaults},
      {"keys are case-sensitive", "serverip:127.0.0.1\r\nSERVERIP:x", 0, defaults},
      {"text after a second colon is ignored", "ServerIP:127.0.0.1:8080", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.strServerIP, "127.0.0.1"); }},
      {"a comment needs the # first", "  #ServerIP:x", 0, defaults},
      {"unknown keys are ignored, with or without a colon", "Colour:blue\r\nNoColonHere", 0,
       defaults},
      {"a tab-only line is an unknown key", "\t\r\nServerIP:a", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.strServerIP, "a"); }},
      {"lone LF ends lines too", "ServerIP:a\nConnectPortNumber:7\n", 0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.strServerIP, "a");
         EXPECT_EQ(s.lngConnectPort, 7);
       }},
      {"a lone CR ends a line too", "QuitPassword:pa\rss\r\n", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.strQuitPassword, "pa"); }},
      {"CR-only line ends", "ServerIP:a\rConnectPortNumber:7\rListenPortNumber:8\r", 0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.strServerIP, "a");
         EXPECT_EQ(s.lngConnectPort, 7);
         EXPECT_EQ(s.lngListenPort, 8);
       }},
      {"mixed line ends, CR LF counted once", "ServerIP:a\r\n\rConnectPortNumber:7\nListenPortNumber:8", 0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.strServerIP, "a");
         EXPECT_EQ(s.lngConnectPort, 7);
         EXPECT_EQ(s.lngListenPort, 8);
       }},
      {"a UTF-8 byte order mark is skipped", "\xEF\xBB\xBFServerIP:127.0.0.1\r\nConnectPortNumber:7", 0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.strServerIP, "127.0.0.1");
         EXPECT_EQ(s.lngConnectPort, 7);
       }},
      {"a byte order mark then a comment", "\xEF\xBB\xBF#ServerIP:x\rServerIP:b", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.strServerIP, "b"); }},
      {"the last of a repeated key wins", "ListenPortNumber:1\r\nListenPortNumber:2", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.lngListenPort, 2); }},
      {"integers: blanks round the number", "ConnectPortNumber: 5000 ", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.lngConnectPort, 5000); }},
      {"integers: a fraction rounds half to even", "ConnectPortNumber:12.5\r\nListenPortNumber:13.5",
       0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.lngConnectPort, 12);
         EXPECT_EQ(s.lngListenPort, 14);
       }},
      {"integers: negative", "ListenPortNumber:-7", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.lngListenPort, -7); }},
      {"booleans: TRUE and 1 both allow quitting", "AllowQuit:TRUE\r\nShowSystemTray:1", 0,
       [](const AgentSettings& s) {
         EXPECT_TRUE(s.blnAllowQuit);
         EXPECT_TRUE(s.blnShowSystemTray);
       }},
      {"booleans: false, fAlSe and 0", "AllowQuit:fAlSe\r\nShowSystemTray:0", 0,
       [](const AgentSettings& s) {
         EXPECT_FALSE(s.blnAllowQuit);
         EXPECT_FALSE(s.blnShowSystemTray);
       }},
      {"delay 30-60 at the low end", "ReauditDelayTime:30-60", 0.0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.lngReauditMin, 30);
         EXPECT_EQ(s.lngReauditMax, 60);
         EXPECT_EQ(s.auditDelayMs, 30000);
       }},
      {"delay 30-60 at the high end", "ReauditDelayTime:30-60", 0.999999,
       [](const AgentSettings& s) { EXPECT_EQ(s.auditDelayMs, 60000); }},
      {"delay 1-1", "ReauditDelayTime:1-1", 0.5,
       [](const AgentSettings& s) { EXPECT_EQ(s.auditDelayMs, 1000); }},
      {"delay 0-0 draws zero", "ReauditDelayTime:0-0", 0.7,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.lngReauditMin, 0);
         EXPECT_EQ(s.auditDelayMs, 0);
       }},
      {"a value without a dash means no delay", "ReauditDelayTime:0", 0.5,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.lngReauditMin, -1);
         EXPECT_EQ(s.lngReauditMax, -1);
         EXPECT_EQ(s.auditDelayMs, std::nullopt);
       }},
      {"re-audit every 24 hours", "ReauditIntervalHours:24\r\nReauditDelayTime:30-60", 0.0,
       [](const AgentSettings& s) {
         EXPECT_EQ(s.reauditIntervalHours, 24);
         EXPECT_EQ(s.auditDelayMs, 30000);  // the spread stays its own setting
       }},
      {"re-audit 0 is off", "ReauditIntervalHours:0", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.reauditIntervalHours, 0); }},
      {"re-audit with blanks and a fraction rounds as integers do", "ReauditIntervalHours: 2.5 ", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.reauditIntervalHours, 2); }},
      {"re-audit at the 32-bit limit", "ReauditIntervalHours:2147483647", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.reauditIntervalHours, 2147483647); }},
      {"the last re-audit line counts", "ReauditIntervalHours:4\r\nReauditIntervalHours:8", 0,
       [](const AgentSettings& s) { EXPECT_EQ(s.reauditIntervalHours, 8); }},
      {"re-audit key is case-sensitive", "reauditintervalhours:abc", 0, defaults},
      // Failures.
      {"re-audit that is no number", "ReauditIntervalHours:daily", 0, nullptr, 13, 1, "daily", "Integer"},
      {"re-audit empty", "# c\r\nReauditIntervalHours:", 0, nullptr, 13, 2, "", "Integer"},
      {"re-audit negative", "ReauditIntervalHours:-1", 0, nullptr, 380, 1, "-1", "Integer"},
      {"re-audit beyond 32 bits", "ReauditIntervalHours:4294967296", 0, nullptr, 6, 1, "4294967296",
       "Integer"},
      {"re-audit without a colon", "ReauditIntervalHours", 0, nullptr, 9, 1, "", "Integer"},
      {"ConnectPortNumber abc", "ServerIP:x\r\nConnectPortNumber:abc\r\nListenPortNumber:9", 0,
       nullptr, 13, 2, "abc", "Integer"},
      {"an empty integer", "ListenPortNumber:", 0, nullptr, 13, 1, "", "Integer"},
      {"an integer beyond 32 bits overflows", "ListenPortNumber:99999999999", 0, nullptr, 6, 1,
       "99999999999", "Integer"},
      {"a boolean that is no boolean", "AllowQuit:yes", 0, nullptr, 13, 1, "yes", "Boolean"},
      {"a known key without a colon", "# c\r\nServerIP", 0, nullptr, 9, 2, "", "String"},
      {"delay -5: empty lower bound", "ReauditDelayTime:-5", 0, nullptr, 13, 1, "-5",
       "Integer-Integer"},
      {"delay with a word for the upper bound", "ReauditDelayTime:5-x", 0, nullptr, 13, 1, "5-x",
       "Integer-Integer"},
      {"delay that draws below zero", "ReauditDelayTime:10--20", 0.99, nullptr, 380, 1, "10--20",
       "Integer-Integer"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SettingsResult r = parseClientSettings(row.text, [&] { return row.random; });
    if (row.errorNumber == 0) {
      ASSERT_FALSE(r.error.has_value()) << r.error->description;
      row.check(r.settings);
    } else {
      ASSERT_TRUE(r.error.has_value());
      EXPECT_EQ(r.error->number, row.errorNumber);
      EXPECT_EQ(r.error->line, row.errorLine);
      EXPECT_EQ(r.error->value, row.errorValue);
      EXPECT_EQ(r.error->expectedType, row.expectedType);
    }
  }
}

TEST(ParseClientSettings, ReadingStopsAtTheFailingLine) {
  SettingsResult r = parseClientSettings("ConnectPortNumber:abc\r\nServerIP:127.0.0.1", [] { return 0.0; });
  ASSERT_TRUE(r.error.has_value());
  EXPECT_EQ(r.settings.strServerIP, "");
}

TEST(SettingsDialogs, CriticalTextForAbc) {
  SettingsError e;
  e.number = 13;
  e.description = "Type mismatch";
  e.key = "ConnectPortNumber";
  e.value = "abc";
  e.expectedType = "Integer";
  EXPECT_EQ(criticalSettingsText(e),
            "Error while reading in settings file...\r\n\r\n"
            "Error Number : \t13\r\n"
            "Error Desc. : \tType mismatch\r\n\r\n"
            "Possible Fault : \tabc\r\n"
            "Error On Line  : \tConnectPortNumber:abc\r\n"
            "Error On Type  : \tString\r\n"
            "Expected Type  : \tInteger");
  EXPECT_EQ(otherSettingsErrorText(9, "Subscript out of range", 4),
            "9\r\nSubscript out of range\r\nError line : 4");
}

TEST(Conversions, IntegersAndBooleans) {
  EXPECT_EQ(toInteger("2147483647").value, 2147483647);
  EXPECT_EQ(toInteger("-2147483648").value, -2147483647 - 1);
  EXPECT_EQ(toInteger("2147483648").error, 6);
  EXPECT_EQ(toInteger("0.5").value, 0);
  EXPECT_EQ(toInteger("1.5").value, 2);
  EXPECT_EQ(toInteger("+3").value, 3);
  for (const char* bad : {"", " ", "-", ".", "1 2", "0x10", "12a", "1e3"}) {
    EXPECT_EQ(toInteger(bad).error, 13) << bad;
  }
  long err = 0;
  EXPECT_EQ(toBoolean("tRuE", &err), true);
  EXPECT_EQ(toBoolean("-1", &err), true);
  EXPECT_EQ(toBoolean("99999999999", &err), true);
  EXPECT_EQ(toBoolean("0.0", &err), false);
  EXPECT_EQ(toBoolean("on", &err), std::nullopt);
  EXPECT_EQ(err, 13);
}

}  // namespace
}  // namespace quorvane::agent
