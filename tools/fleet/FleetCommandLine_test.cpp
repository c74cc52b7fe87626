// The fleet simulator's command line: one named row per form, good and bad
// (missing values, ports out of range, settings and key injection), and the
// options a full line sets.
#include "tools/fleet/FleetCommandLine.h"

#include <gtest/gtest.h>

namespace quorvane::fleet {
namespace {

TEST(FleetCommandLine, Table) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    bool ok;
  };
  const std::vector<Row> rows = {
      {"minimal", {"--server", "127.0.0.1:4000", "--agents", "5"}, true},
      {"everything", {"--server", "127.0.0.1:4000", "--agents", "5", "--machines", "m", "--listen-base", "41000",
                      "--concurrency", "2", "--work", "w", "--datastore", "d", "--until", "acknowledged",
                      "--status", "s.json", "--burst", "--timeout-ms", "500", "--accept-commands-from", "any",
                      "--max-seconds", "60"}, true},
      {"generate", {"--generate", "dir", "--count", "3", "--seed", "9"}, true},
      {"no server", {"--agents", "5"}, false},
      {"no agents", {"--server", "127.0.0.1:4000"}, false},
      {"zero agents", {"--server", "127.0.0.1:4000", "--agents", "0"}, false},
      {"too many agents", {"--server", "127.0.0.1:4000", "--agents", "100000"}, false},
      {"server without port", {"--server", "127.0.0.1", "--agents", "1"}, false},
      {"port out of range", {"--server", "127.0.0.1:70000", "--agents", "1"}, false},
      {"port with junk", {"--server", "127.0.0.1:80x", "--agents", "1"}, false},
      {"missing value", {"--server", "127.0.0.1:80", "--agents"}, false},
      {"unknown option", {"--server", "127.0.0.1:80", "--agents", "1", "--real-power"}, false},
      {"acknowledged needs a datastore", {"--server", "127.0.0.1:80", "--agents", "1", "--until", "acknowledged"}, false},
      {"bad until", {"--server", "127.0.0.1:80", "--agents", "1", "--until", "forever"}, false},
      {"settings injection", {"--server", "127.0.0.1:80", "--agents", "1", "--accept-commands-from", "any\r\nServerIP:x"}, false},
      {"key injection", {"--server", "127.0.0.1:80", "--agents", "1", "--command-public-key", "AAAA\nServerIP:x"}, false},
      {"generate without count", {"--generate", "dir"}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto cl = parseFleetCommandLine(r.args);
    EXPECT_EQ(cl.ok(), r.ok) << (cl.ok() ? "" : cl.status().description());
  }
  auto cl = parseFleetCommandLine(rows[1].args);
  ASSERT_TRUE(cl.ok());
  EXPECT_EQ(cl->options.serverPort, 4000);
  EXPECT_EQ(cl->options.listenBase, 41000);
  EXPECT_EQ(cl->options.concurrency, 2);
  EXPECT_TRUE(cl->options.burst);
  EXPECT_EQ(cl->options.extraSettings, "AcceptCommandsFrom:any\r\n");
  EXPECT_EQ(cl->until, FleetCommandLine::Until::Acknowledged);
}

}  // namespace
}  // namespace quorvane::fleet
