// End to end on loopback: a headless QuorvaneServer with its index, a fleet
// of real agents uploading, then one simulated PC changes (an application
// upgraded, another removed) and audits again; the server is killed right
// after storing that audit, wherever its index writer stood. The command line
// (--history, --find), run beside the server and after it, shows exactly
// those two changes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "tools/e2e/Processes.h"

namespace quorvane::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

const fs::path kBin = fs::path(QUORVANE_BINARY_DIR) / "bin";
constexpr int kAgents = 8;
constexpr const char* kUninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class IndexE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("qv-index-e2e-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "server");
    for (const char* p : {"QuorvaneServer", "quorvane-fleet"}) {
      if (!fs::exists(kBin / p)) GTEST_SKIP() << p << " is not built";
    }
  }
  void TearDown() override { fs::remove_all(root); }

  // One fleet run of `agents` agents until all their uploads are stored.
  void uploadFrom(int agents, int port) {
    RunResult r = runToEnd({(kBin / "quorvane-fleet").string(), "--server", "127.0.0.1:" + std::to_string(port),
                            "--agents", std::to_string(agents), "--machines", (root / "machines").string(),
                            "--listen-base", "0", "--work", (root / "fleet").string(), "--datastore",
                            (root / "server" / "DataStore").string(), "--until", "acknowledged", "--max-seconds",
                            "60"},
                           root, 90s);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  json ask(std::vector<std::string> args) {
    args.insert(args.begin(), {(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string()});
    args.insert(args.end(), {"--format", "json"});
    RunResult r = runToEnd(args, root, 60s);
    EXPECT_EQ(r.status, 0) << r.err;
    json j = json::parse(r.out, nullptr, false);
    EXPECT_TRUE(j.is_array()) << r.out;
    return j;
  }

  fs::path root;
};

TEST_F(IndexE2E, AReAuditShowsExactlyItsChangesInTheHistory) {
  const int port = freeLoopbackPort();
  ASSERT_GT(port, 0);
  std::ofstream(root / "server" / "serverSettings.txt", std::ios::binary) << "ListenPortNumber:" << port << "\r\n";
  ASSERT_EQ(runToEnd({(kBin / "quorvane-fleet").string(), "--generate", (root / "machines").string(), "--count",
                      std::to_string(kAgents), "--seed", "19"},
                     root)
                .status,
            0);
  Child server({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--headless"},
               root / "server.out", root / "server.err");
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(port) || server.poll(); }, 60s)) << server.err();
  uploadFrom(kAgents, port);

  // The first simulated PC (127.0.1.1): one application upgraded, one removed.
  const fs::path machineFile = root / "machines" / "machine-00000.json";
  json machine = json::parse(readFile(machineFile));
  std::string upgraded, removed, oldVersion, newVersion;
  for (auto& [key, values] : machine["registry"].items()) {
    if (key.rfind(kUninstall, 0) != 0 || !values.contains("DisplayName")) continue;
    const std::string name = values["DisplayName"]["value"];
    if (upgraded.empty() && values.contains("DisplayVersion")) {
      upgraded = name;
      oldVersion = values["DisplayVersion"]["value"];
      newVersion = oldVersion + ".1";
      values["DisplayVersion"]["value"] = newVersion;
    } else if (removed.empty() && name != upgraded) {
      removed = name;
    }
  }
  ASSERT_FALSE(upgraded.empty());
  ASSERT_FALSE(removed.empty());
  for (auto it = machine["registry"].begin(); it != machine["registry"].end(); ++it) {
    if (it.key().rfind(kUninstall, 0) == 0 && it.value().contains("DisplayName") &&
        it.value()["DisplayName"]["value"] == removed) {
      machine["registry"].erase(it);
      break;
    }
  }
  std::ofstream(machineFile, std::ios::binary) << machine.dump(1);

  // Beside the running server: no change yet.
  EXPECT_EQ(ask({"--history", "127.0.1.1"}).size(), 0u);
  uploadFrom(1, port);  // it audits again
  server.kill9();       // whatever the index writer had done by now

  const json history = ask({"--history", "127.0.1.1"});
  std::set<std::string> changes;
  for (const json& row : history) {
    changes.insert(row["change"].get<std::string>() + "|" + row["subject"].get<std::string>() + "|" +
                   row["before"].get<std::string>() + "|" + row["after"].get<std::string>());
    EXPECT_EQ(row["address"], "127.0.1.1");
  }
  EXPECT_EQ(history.size(), 2u) << history.dump(1);
  EXPECT_TRUE(changes.count("upgraded|" + upgraded + "|" + oldVersion + "|" + newVersion)) << history.dump(1);
  bool removedSeen = false;
  for (const std::string& c : changes) removedSeen |= c.rfind("removed|" + removed + "|", 0) == 0;
  EXPECT_TRUE(removedSeen) << history.dump(1);
  for (int i = 2; i <= kAgents; ++i) {
    EXPECT_EQ(ask({"--history", "127.0.1." + std::to_string(i)}).size(), 0u) << "127.0.1." << i;
  }

  const json found = ask({"--find", upgraded + " = " + newVersion});
  ASSERT_EQ(found.size(), 1u) << found.dump(1);
  EXPECT_EQ(found[0]["address"], "127.0.1.1");
}

}  // namespace
}  // namespace quorvane::e2e
