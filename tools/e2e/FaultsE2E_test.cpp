// Faults end to end: the server killed (SIGKILL) in the middle of a burst of
// uploads and started again. No DataStore file may be half-written: every
// "*.dat" decodes whole, the restarted server loads them all without an
// error report, and the fleet's uploads are then all stored.
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "common/AuditRecordIO.h"
#include "tools/e2e/Processes.h"

namespace quorvane::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kBin = fs::path(QUORVANE_BINARY_DIR) / "bin";

long acknowledged(const fs::path& statusFile) {
  auto j = nlohmann::json::parse(readFile(statusFile), nullptr, false);
  return j.is_object() && j.contains("uploadsAcknowledged") ? j["uploadsAcknowledged"].get<long>() : 0;
}

TEST(FaultsE2E, KillingTheServerDuringIntakeLeavesNoHalfWrittenFile) {
  for (const char* p : {"QuorvaneServer", "quorvane-fleet"}) {
    if (!fs::exists(kBin / p)) GTEST_SKIP() << p << " is not built";
  }
  const fs::path root = fs::temp_directory_path() / ("qv-faults-" + std::to_string(::getpid()));
  fs::remove_all(root);
  // Removed at the end whatever the outcome (after the child processes end).
  const std::unique_ptr<const fs::path, void (*)(const fs::path*)> removeAtEnd(&root, [](const fs::path* p) {
    std::error_code ec;
    fs::remove_all(*p, ec);
  });
  fs::create_directories(root / "server");
  const int port = freeLoopbackPort();
  std::ofstream(root / "server" / "serverSettings.txt", std::ios::binary) << "ListenPortNumber:" << port << "\r\n";
  const fs::path dataStore = root / "server" / "DataStore";
  constexpr int kAgents = 1500;
  ASSERT_EQ(runToEnd({(kBin / "quorvane-fleet").string(), "--generate", (root / "machines").string(), "--count",
                      "20"},
                     root)
                .status,
            0);
  const auto fleetArgs = [&](const std::string& name) {
    return std::vector<std::string>{(kBin / "quorvane-fleet").string(), "--server", "127.0.0.1:" + std::to_string(port),
                                    "--agents", std::to_string(kAgents), "--machines", (root / "machines").string(),
                                    "--listen-base", "0", "--burst", "--work", (root / name).string(), "--datastore",
                                    dataStore.string(), "--status", (root / (name + ".json")).string(), "--until",
                                    "acknowledged", "--max-seconds", "90"};
  };

  {
    Child server({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--headless"},
                 root / "server1.out", root / "server1.err");
    ASSERT_TRUE(waitFor([&] { return acceptsConnections(port) || server.poll(); }, 60s)) << server.err();
    Child fleet(fleetArgs("fleet1"), root / "fleet1.out", root / "fleet1.err");
    // Killed once the first upload is stored, while the rest stream in.
    const auto stored = [&] {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(dataStore, ec)) {
        if (e.path().extension() == ".dat") return true;
      }
      return false;
    };
    ASSERT_TRUE(waitFor([&] { return stored() || fleet.poll(); }, 90s)) << fleet.err();
    server.kill9();
    EXPECT_EQ(server.poll(), 128 + 9);
    fleet.stop();
  }

  // Every data file is whole.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dataStore)) {
    const std::string name = e.path().filename().string();
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0) continue;
    ++files;
    const std::string bytes = readFile(e.path());
    ASSERT_GE(bytes.size(), 2u) << name;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << name;
    auto record = decodeStoredAudit(bytes);
    EXPECT_TRUE(record.ok()) << name << ": " << record.status().description();
    if (record.ok()) {
      EXPECT_EQ(record->Hardware.Network.IP + ".dat", name);
    }
  }
  EXPECT_GE(files, 1);
  EXPECT_LT(files, kAgents) << "the server was not killed during the intake";
  std::cerr << "[          ] " << files << " of " << kAgents << " audits were stored before the kill\n";

  // Started again: it loads every file without a report and takes the rest.
  Child server({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--headless"},
               root / "server2.out", root / "server2.err");
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(port) || server.poll(); }, 60s)) << server.err();
  RunResult again = runToEnd(fleetArgs("fleet2"), root, 120s);
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_EQ(acknowledged(root / "fleet2.json"), kAgents);
  EXPECT_EQ(server.stop(), 0);
  EXPECT_EQ(server.err().find("Error in"), std::string::npos) << server.err();
}

}  // namespace
}  // namespace quorvane::e2e
