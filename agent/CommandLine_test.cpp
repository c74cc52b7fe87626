#include "agent/CommandLine.h"

#include <gtest/gtest.h>

namespace quorvane::agent {
namespace {

TEST(CommandLine, Table) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    bool ok;
    CommandLine expected;
  };
  const std::vector<Row> rows = {
      {"nothing", {}, true, {}},
      {"all", {"--dir", "/tmp/a", "--machine", "m.json", "--power", "dry-run"}, true,
       {std::filesystem::path("/tmp/a"), std::nullopt, std::filesystem::path("m.json"), true}},
      {"installed layout", {"--dir", "/var/lib/q", "--settings", "/etc/q/clientSettings.txt"}, true,
       {std::filesystem::path("/var/lib/q"), std::filesystem::path("/etc/q/clientSettings.txt"),
        std::nullopt, false}},
      {"settings alone", {"--settings", "s.txt"}, true,
       {std::nullopt, std::filesystem::path("s.txt"), std::nullopt, false}},
      {"settings without value", {"--settings"}, false, {}},
      {"empty settings", {"--settings", ""}, false, {}},
      {"settings twice", {"--settings", "a", "--settings", "b"}, false, {}},
      {"dir without value", {"--dir"}, false, {}},
      {"empty dir", {"--dir", ""}, false, {}},
      {"dir twice", {"--dir", "a", "--dir", "b"}, false, {}},
      {"power other than dry-run", {"--power", "on"}, false, {}},
      {"unknown", {"--verbose"}, false, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto r = parseCommandLine(row.args);
    ASSERT_EQ(r.ok(), row.ok);
    if (row.ok) {
      EXPECT_EQ(*r, row.expected);
    }
  }
}

}  // namespace
}  // namespace quorvane::agent
