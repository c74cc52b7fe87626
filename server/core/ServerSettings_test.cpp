// serverSettings.txt: one named row per line form, the errors that end
// start-up, and the empty file created when it is missing.
#include "server/core/ServerSettings.h"

#include <gtest/gtest.h>

#include "common/ErrorReport.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

struct SettingsCase {
  const char* name;
  const char* text;
  long error;  // 0: parses
  int connectPort;
  int listenPort;
};

const SettingsCase kCases[] = {
    {"Empty", "", 0, 0, 0},
    {"BothKeysCrLf", "ConnectPortNumber:4000\r\nListenPortNumber:5000\r\n", 0, 4000, 5000},
    {"LoneLineFeeds", "ListenPortNumber:5000\nConnectPortNumber:4000\n", 0, 4000, 5000},
    {"EmptyLinesSkipped", "\r\n\r\nListenPortNumber:7\r\n\r\n", 0, 0, 7},
    {"UnknownKeysIgnored", "ServerIP:10.0.0.1\r\nlistenportnumber:9\r\n# ListenPortNumber\r\n", 0, 0, 0},
    {"KeyWithPrefixIsOtherKey", "ListenPortNumberX:9\r\n", 0, 0, 0},
    {"ExtraFieldsIgnored", "ListenPortNumber:5000:junk\r\n", 0, 0, 5000},
    {"BlanksAroundValue", "ListenPortNumber: 5000 \r\n", 0, 0, 5000},
    {"LastLineWithoutEnd", "ListenPortNumber:5001", 0, 0, 5001},
    {"LaterLineWins", "ListenPortNumber:1\r\nListenPortNumber:2\r\n", 0, 0, 2},
    {"NegativeKept", "ConnectPortNumber:-1\r\n", 0, -1, 0},
    {"MissingColon", "ListenPortNumber\r\n", kErrSubscript, 0, 0},
    {"EmptyValue", "ListenPortNumber:\r\n", kErrTypeMismatch, 0, 0},
    {"NotANumber", "ListenPortNumber:abc\r\n", kErrTypeMismatch, 0, 0},
    {"Fraction", "ConnectPortNumber:12.5\r\n", kErrTypeMismatch, 0, 0},
    {"Hex", "ListenPortNumber:0x10\r\n", kErrTypeMismatch, 0, 0},
    {"TooLarge", "ListenPortNumber:2147483648\r\n", kErrOverflow, 0, 0},
    {"FarTooLarge", "ListenPortNumber:99999999999999999999999\r\n", kErrOverflow, 0, 0},
    {"ErrorAfterGoodLine", "ListenPortNumber:5000\r\nConnectPortNumber:x\r\n", kErrTypeMismatch, 0, 0},
};

class SettingsParseTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsParseTest, Parses) {
  const SettingsCase& c = GetParam();
  Expected<ServerSettings> s = parseServerSettings(c.text);
  if (c.error != 0) {
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.status().number(), c.error) << s.status().description();
    return;
  }
  ASSERT_TRUE(s.ok()) << s.status().description();
  EXPECT_EQ(s->connectPort, c.connectPort);
  EXPECT_EQ(s->listenPort, c.listenPort);
}

INSTANTIATE_TEST_SUITE_P(Lines, SettingsParseTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsIndexKeysTest, IndexKeysTakeTheWholeValueAndLeavePortsAlone) {
  Expected<ServerSettings> s = parseServerSettings(
      "ListenPortNumber:5000\r\nIndexDatabase: postgresql \r\nIndexHost:/run/postgresql\r\nIndexPort:5433\r\n"
      "IndexName:inventory\r\nIndexUser:quorvane\r\nIndexPasswordFile:/etc/quorvane/pw:1\r\n"
      "IndexFile:\r\nindexdatabase:off\r\n");
  ASSERT_TRUE(s.ok()) << s.status().description();
  EXPECT_EQ(s->listenPort, 5000);
  EXPECT_EQ(s->index.database, "postgresql");
  EXPECT_EQ(s->index.host, "/run/postgresql");
  EXPECT_EQ(s->index.port, "5433");
  EXPECT_EQ(s->index.name, "inventory");
  EXPECT_EQ(s->index.user, "quorvane");
  EXPECT_EQ(s->index.passwordFile, "/etc/quorvane/pw:1");
  EXPECT_EQ(s->index.file, "");
  Expected<ServerSettings> bare = parseServerSettings("IndexDatabase\r\nIndexPort:not checked here\r\n");
  ASSERT_TRUE(bare.ok()) << "index values are checked when the index opens, never at start-up";
  EXPECT_EQ(bare->index.database, "");
}

TEST(SettingsFileTest, MissingFileIsCreatedEmpty) {
  testing::TempFolder dir;
  Expected<ServerSettings> s = readServerSettings(dir.path());
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s->listenPort, 0);
  EXPECT_EQ(s->connectPort, 0);
  EXPECT_TRUE(dir.exists("serverSettings.txt"));
  EXPECT_EQ(dir.read("serverSettings.txt"), "");
}

TEST(SettingsFileTest, ReadsTheFileBesideTheProgram) {
  testing::TempFolder dir;
  dir.write("serverSettings.txt", "ListenPortNumber:31337\r\n");
  Expected<ServerSettings> s = readServerSettings(dir.path());
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s->listenPort, 31337);
}

}  // namespace
}  // namespace quorvane
