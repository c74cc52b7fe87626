// The command line (one named row per form, good and bad) and the request
// button captions.
#include "server/core/CommandLine.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Mode = ServerOptions::Mode;

struct LineCase {
  const char* name;
  std::vector<std::string> args;
  bool ok;
  Mode mode;
};

const LineCase kLines[] = {
    {"Nothing", {}, true, Mode::Window},
    {"Dir", {"--dir", "/srv/q"}, true, Mode::Window},
    {"Headless", {"--headless", "--dir", "/srv/q"}, true, Mode::Headless},
    {"Send", {"--send", "Request Re-Audit", "--to", "127.0.0.1,127.0.0.2"}, true, Mode::Send},
    {"SendMessage", {"--send", "Send Message", "--to", "127.0.0.1", "--message", ""}, true, Mode::Send},
    {"Screenshot", {"--screenshot", "/tmp/shots"}, true, Mode::Screenshot},
    {"NewCommandKey", {"--dir", "/srv/q", "--new-command-key"}, true, Mode::NewCommandKey},
    {"Help", {"--help"}, true, Mode::Help},
    {"UnknownCaption", {"--send", "Format Disk", "--to", "127.0.0.1"}, false, Mode::Window},
    {"CaptionCaseMatters", {"--send", "request re-audit", "--to", "127.0.0.1"}, false, Mode::Window},
    {"SendWithoutTo", {"--send", "Close Quorvane"}, false, Mode::Window},
    {"EmptyTo", {"--send", "Close Quorvane", "--to", ","}, false, Mode::Window},
    {"MessageWithoutText", {"--send", "Send Message", "--to", "127.0.0.1"}, false, Mode::Window},
    {"TextWithOtherButton", {"--send", "Reboot Windows", "--to", "127.0.0.1", "--message", "x"}, false, Mode::Window},
    {"ToWithoutSend", {"--to", "127.0.0.1"}, false, Mode::Window},
    {"HeadlessAndScreenshot", {"--headless", "--screenshot", "/tmp"}, false, Mode::Window},
    {"NewKeyAndSend", {"--new-command-key", "--send", "Close Quorvane", "--to", "127.0.0.1"}, false, Mode::Window},
    {"NewKeyAndHeadless", {"--headless", "--new-command-key"}, false, Mode::Window},
    {"NewKeyWithMessage", {"--new-command-key", "--message", "x"}, false, Mode::Window},
    {"DirWithoutValue", {"--dir"}, false, Mode::Window},
    {"InstalledHeadless", {"--dir", "/var/lib/q", "--settings", "/etc/q/s.txt", "--reports", "/usr/lib/q", "--headless"},
     true, Mode::Headless},
    {"SettingsWithoutValue", {"--headless", "--settings"}, false, Mode::Window},
    {"EmptySettings", {"--settings", ""}, false, Mode::Window},
    {"EmptyReports", {"--reports", ""}, false, Mode::Window},
    {"UnknownFlag", {"--verbose"}, false, Mode::Window},
};

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, Parses) {
  Expected<ServerOptions> o = parseServerCommandLine(GetParam().args);
  ASSERT_EQ(o.ok(), GetParam().ok) << o.status().description();
  if (!o.ok()) {
    EXPECT_EQ(o.status().number(), kExitUsage);
    return;
  }
  EXPECT_EQ(o->mode, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Lines, CommandLineTest, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTest, SendDetails) {
  Expected<ServerOptions> o = parseServerCommandLine(
      {"--dir", "/srv/q", "--send", "Send Message", "--to", "127.0.0.1,,127.0.0.3", "--message", "Hi all"});
  ASSERT_TRUE(o.ok());
  EXPECT_EQ(o->dir, "/srv/q");
  EXPECT_EQ(o->sendCode, CommandCode::Message);
  EXPECT_EQ(o->sendTo, (std::vector<std::string>{"127.0.0.1", "127.0.0.3"}));
  EXPECT_EQ(o->message, "Hi all");
}

TEST(CommandLineTest, FoldersDefaultToTheProgramFolder) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    ServerFolders expected;
  };
  ServerFolders installed("/var/lib/q");
  installed.settingsFile = "/etc/q/serverSettings.txt";
  installed.reports = "/usr/lib/q";
  ServerFolders settingsOnly("/opt/bin");
  settingsOnly.settingsFile = "s.txt";
  const Row rows[] = {
      {"nothing: the executable's folder", {}, ServerFolders("/opt/bin")},
      {"dir", {"--dir", "/srv/q"}, ServerFolders("/srv/q")},
      {"installed", {"--reports", "/usr/lib/q", "--dir", "/var/lib/q", "--settings", "/etc/q/serverSettings.txt"},
       installed},
      {"settings beside the executable", {"--settings", "s.txt"}, settingsOnly},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expected<ServerOptions> o = parseServerCommandLine(row.args);
    ASSERT_TRUE(o.ok()) << o.status().description();
    const ServerFolders f = serverFolders(*o, "/opt/bin");
    EXPECT_EQ(f.program, row.expected.program);
    EXPECT_EQ(f.settingsFile, row.expected.settingsFile);
    EXPECT_EQ(f.reports, row.expected.reports);
  }
}

TEST(CommandCaptionTest, EveryButtonHasItsCode) {
  EXPECT_EQ(commandCodeForCaption("Request Re-Audit"), CommandCode::ReAudit);
  EXPECT_EQ(commandCodeForCaption("Close Quorvane"), CommandCode::Quit);
  EXPECT_EQ(commandCodeForCaption("Shutdown Windows"), CommandCode::PowerOff);
  EXPECT_EQ(commandCodeForCaption("Reboot Windows"), CommandCode::Reboot);
  EXPECT_EQ(commandCodeForCaption("Log-Off Windows"), CommandCode::LogOff);
  EXPECT_EQ(commandCodeForCaption("Send Message"), CommandCode::Message);
  EXPECT_EQ(commandCodeForCaption("Check Client Status"), CommandCode::CheckStatus);
  EXPECT_EQ(requestButtons().size(), 6u);
}

}  // namespace
}  // namespace quorvane
