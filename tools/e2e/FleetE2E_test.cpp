// End to end on loopback: a headless QuorvaneServer, a fleet of 50 real
// agents (quorvane-fleet, each on its own 127.0.1.x, dry-run power), and the
// server's command-line sender pressing the console's buttons.
//
// Checks: every client's DataStore file decodes to the record its agent
// sent; "Request Re-Audit" to all 50 brings 50 fresh uploads; "Check Client
// Status" reports "Client Running" for all; after the agents quit it reports
// "Timed out..." for all. A second, smaller fleet holds the console's public
// command key: the console's signed commands reach every agent; a rogue
// console with its own key (sending from the server's own address, as one
// that borrowed it would) and a console without a key reach none.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "common/AuditRecordIO.h"
#include "tools/e2e/Processes.h"

namespace quorvane::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kBin = fs::path(QUORVANE_BINARY_DIR) / "bin";
constexpr int kAgents = 50;

std::string fleetAddress(int i) {  // as quorvane-fleet numbers them
  return "127.0.1." + std::to_string(1 + i);
}

nlohmann::json fleetStatus(const fs::path& file) {
  auto j = nlohmann::json::parse(readFile(file), nullptr, false);
  return j.is_discarded() ? nlohmann::json::object() : j;
}

long counter(const fs::path& file, const char* name) {
  auto j = fleetStatus(file);
  return j.contains(name) ? j[name].get<long>() : -1;
}

// Every line "<IP>: <status>" of a --send run, last status per address.
std::map<std::string, std::string> lastStatuses(const std::string& out) {
  std::map<std::string, std::string> m;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(": ");
    if (colon != std::string::npos) m[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return m;
}

ino_t inodeOf(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

class FleetE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("qv-e2e-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "server");
    for (const char* p : {"QuorvaneServer", "quorvane-fleet"}) {
      if (!fs::exists(kBin / p)) GTEST_SKIP() << p << " is not built";
    }
  }
  void TearDown() override { fs::remove_all(root); }

  RunResult send(const std::string& caption, int agents = kAgents, const std::string& dir = "server",
                 const std::string& message = {}) {
    std::string to;
    for (int i = 0; i < agents; ++i) to += (i ? "," : "") + fleetAddress(i);
    std::vector<std::string> argv{(kBin / "QuorvaneServer").string(), "--dir", (root / dir).string(), "--send",
                                  caption, "--to", to};
    if (!message.empty()) argv.insert(argv.end(), {"--message", message});
    return runToEnd(argv, root, 60s);
  }

  // The headless server in root/server, listening on `port`, commands sent nowhere.
  std::unique_ptr<Child> startHeadlessServer(int port) {
    {
      std::ofstream s(root / "server" / "serverSettings.txt", std::ios::binary);
      s << "ListenPortNumber:" << port << "\r\nConnectPortNumber:0\r\n";
    }
    return std::make_unique<Child>(
        std::vector<std::string>{(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(),
                                 "--headless"},
        root / "server.out", root / "server.err");
  }

  fs::path root;
};

TEST_F(FleetE2E, AFleetOfFiftyUploadsIsCommandedAndTimesOutOnceGone) {
  const int port = freeLoopbackPort();
  ASSERT_GT(port, 0);
  ASSERT_TRUE(readFile(root / "server" / "serverSettings.txt").empty());
  auto serverOwner = startHeadlessServer(port);
  Child& server = *serverOwner;
  ASSERT_TRUE(server.started());
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(port) || server.poll(); }, 60s)) << server.err();
  ASSERT_FALSE(server.poll()) << server.err();

  const fs::path dataStore = root / "server" / "DataStore";
  const fs::path statusFile = root / "fleet-status.json";
  const int listenBase = 20000 + static_cast<int>(::getpid() % 12000);
  ASSERT_EQ(runToEnd({(kBin / "quorvane-fleet").string(), "--generate", (root / "machines").string(), "--count",
                      std::to_string(kAgents), "--seed", "50"},
                     root)
                .status,
            0);
  Child fleet({(kBin / "quorvane-fleet").string(), "--server", "127.0.0.1:" + std::to_string(port), "--agents",
               std::to_string(kAgents), "--machines", (root / "machines").string(), "--listen-base",
               std::to_string(listenBase), "--concurrency", "10", "--work", (root / "fleet").string(),
               "--datastore", dataStore.string(), "--status", statusFile.string(), "--until", "ended",
               "--max-seconds", "170"},
              root / "fleet.out", root / "fleet.err");
  ASSERT_TRUE(fleet.started());

  // 1. Every agent's first upload is stored.
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "uploadsAcknowledged") == kAgents || fleet.poll(); }, 90s))
      << fleetStatus(statusFile).dump() << fleet.err();
  // Give the server a moment past its write: then each file is whole.
  std::map<std::string, ino_t> firstFiles;
  for (int i = 0; i < kAgents; ++i) {
    SCOPED_TRACE(fleetAddress(i));
    const std::string ip = fleetAddress(i);
    const fs::path stored = dataStore / (ip + ".dat");
    const fs::path sent = root / "fleet" / ("agent-" + ip) / (ip + ".dat");
    const std::string storedBytes = readFile(stored);
    const std::string sentBytes = readFile(sent);
    ASSERT_FALSE(sentBytes.empty());
    EXPECT_EQ(storedBytes, sentBytes + "\r\n");
    auto a = decodeStoredAudit(storedBytes);
    auto b = decodeStoredAudit(sentBytes);
    ASSERT_TRUE(a.ok()) << a.status().description();
    ASSERT_TRUE(b.ok()) << b.status().description();
    EXPECT_EQ(writeAuditRecord(*a), writeAuditRecord(*b));
    EXPECT_EQ(a->Hardware.Network.IP, ip);
    EXPECT_EQ(a->ListenPortNumber, listenBase + i);
    firstFiles[ip] = inodeOf(stored);
  }
  // Nothing else landed in DataStore (no client under a wrong address).
  int files = 0;
  for (const auto& e : fs::directory_iterator(dataStore)) files += e.path().extension() == ".dat";
  EXPECT_EQ(files, kAgents);

  // 2. "Request Re-Audit" to all 50: 50 fresh uploads.
  RunResult reaudit = send("Request Re-Audit");
  EXPECT_EQ(reaudit.status, 0) << reaudit.out << reaudit.err;
  auto statuses = lastStatuses(reaudit.out);
  for (int i = 0; i < kAgents; ++i) EXPECT_EQ(statuses[fleetAddress(i)], "Request Sent") << fleetAddress(i);
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "uploadsAcknowledged") == 2 * kAgents; }, 60s))
      << fleetStatus(statusFile).dump();
  EXPECT_EQ(fleetStatus(statusFile)["commands"]["audit"], kAgents);
  for (int i = 0; i < kAgents; ++i) {
    const std::string ip = fleetAddress(i);
    EXPECT_NE(inodeOf(dataStore / (ip + ".dat")), firstFiles[ip]) << ip << " was not stored again";
    EXPECT_TRUE(decodeStoredAudit(readFile(dataStore / (ip + ".dat"))).ok()) << ip;
  }

  // 3. "Check Client Status": "Client Running" for all.
  RunResult check = send("Check Client Status");
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  statuses = lastStatuses(check.out);
  for (int i = 0; i < kAgents; ++i) EXPECT_EQ(statuses[fleetAddress(i)], "Client Running") << fleetAddress(i);

  // 4. "Close Quorvane": every agent ends, and the fleet with them.
  RunResult quit = send("Close Quorvane");
  EXPECT_EQ(quit.status, 0) << quit.out << quit.err;
  ASSERT_TRUE(fleet.wait(60s)) << fleetStatus(statusFile).dump();
  EXPECT_EQ(*fleet.poll(), 0) << fleet.out() << fleet.err();
  EXPECT_NE(fleet.out().find("agents 50, running 0, uploads sent 100, uploads acknowledged 100, upload failures 0"),
            std::string::npos)
      << fleet.out();

  // 5. Now nobody answers: "Timed out..." for all.
  RunResult gone = send("Check Client Status");
  EXPECT_EQ(gone.status, 2) << gone.out << gone.err;
  statuses = lastStatuses(gone.out);
  for (int i = 0; i < kAgents; ++i) EXPECT_EQ(statuses[fleetAddress(i)], "Timed out...") << fleetAddress(i);

  // The server ran through all of it and ends in order.
  EXPECT_FALSE(server.poll()) << server.err();
  EXPECT_EQ(server.stop(), 0) << server.err();
  EXPECT_EQ(server.err().find("Error in"), std::string::npos) << server.err();
}

TEST_F(FleetE2E, WithACommandKeyOnlyTheConsoleCommandsTheFleet) {
  constexpr int kSigned = 10;
  const int port = freeLoopbackPort();
  ASSERT_GT(port, 0);
  RunResult key = runToEnd({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(),
                            "--new-command-key"},
                           root);
  ASSERT_EQ(key.status, 0) << key.err;
  ASSERT_EQ(key.out.rfind("CommandPublicKey:", 0), 0u) << key.out;
  const std::string publicKey = key.out.substr(17, key.out.find('\n') - 17);
  auto serverOwner = startHeadlessServer(port);
  Child& server = *serverOwner;
  ASSERT_TRUE(server.started());
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(port) || server.poll(); }, 60s)) << server.err();

  const fs::path dataStore = root / "server" / "DataStore";
  const fs::path statusFile = root / "fleet-status.json";
  const int listenBase = 20000 + static_cast<int>((::getpid() + 7000) % 12000);
  ASSERT_EQ(runToEnd({(kBin / "quorvane-fleet").string(), "--generate", (root / "machines").string(), "--count",
                      std::to_string(kSigned), "--seed", "51"},
                     root)
                .status,
            0);
  Child fleet({(kBin / "quorvane-fleet").string(), "--server", "127.0.0.1:" + std::to_string(port), "--agents",
               std::to_string(kSigned), "--machines", (root / "machines").string(), "--listen-base",
               std::to_string(listenBase), "--work", (root / "fleet").string(), "--datastore", dataStore.string(),
               "--status", statusFile.string(), "--command-public-key", publicKey, "--until", "ended",
               "--max-seconds", "120"},
              root / "fleet.out", root / "fleet.err");
  ASSERT_TRUE(fleet.started());
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "uploadsAcknowledged") == kSigned || fleet.poll(); }, 60s))
      << fleetStatus(statusFile).dump() << fleet.err();

  // A rogue console: the same client list, its own key.
  fs::create_directories(root / "rogue");
  fs::copy(dataStore, root / "rogue" / "DataStore");
  ASSERT_EQ(runToEnd({(kBin / "QuorvaneServer").string(), "--dir", (root / "rogue").string(), "--new-command-key"},
                     root)
                .status,
            0);
  for (const char* caption : {"Shutdown Windows", "Close Quorvane"}) {
    SCOPED_TRACE(caption);
    RunResult rogue = send(caption, kSigned, "rogue");
    EXPECT_EQ(rogue.status, 3) << rogue.out << rogue.err;
    auto statuses = lastStatuses(rogue.out);
    for (int i = 0; i < kSigned; ++i) EXPECT_EQ(statuses[fleetAddress(i)], "Refused by client") << fleetAddress(i);
  }
  RunResult rogueMessage = send("Send Message", kSigned, "rogue", "from the rogue");
  EXPECT_EQ(rogueMessage.status, 3) << rogueMessage.out;
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "commandsRefused") == 3 * kSigned; }, 30s))
      << fleetStatus(statusFile).dump();
  // A console without a key: its plain tokens go out ("Request Sent": it
  // closes before any answer) and are refused, or cut off by its own close.
  fs::create_directories(root / "plain");
  fs::copy(dataStore, root / "plain" / "DataStore");
  RunResult plain = send("Close Quorvane", kSigned, "plain");
  EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
  EXPECT_EQ(counter(statusFile, "commandsReceived"), 0);
  EXPECT_EQ(counter(statusFile, "messagesShown"), 0);
  EXPECT_EQ(counter(statusFile, "running"), kSigned);

  // The console: re-audit, message and quit reach every agent.
  RunResult reaudit = send("Request Re-Audit", kSigned);
  EXPECT_EQ(reaudit.status, 0) << reaudit.out << reaudit.err;
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "uploadsAcknowledged") == 2 * kSigned; }, 60s))
      << fleetStatus(statusFile).dump();
  RunResult message = send("Send Message", kSigned, "server", "signed and sealed");
  EXPECT_EQ(message.status, 0) << message.out << message.err;
  ASSERT_TRUE(waitFor([&] { return counter(statusFile, "messagesShown") == kSigned; }, 30s))
      << fleetStatus(statusFile).dump();
  RunResult quit = send("Close Quorvane", kSigned);
  EXPECT_EQ(quit.status, 0) << quit.out << quit.err;
  auto statuses = lastStatuses(quit.out);
  for (int i = 0; i < kSigned; ++i) EXPECT_EQ(statuses[fleetAddress(i)], "Request Sent") << fleetAddress(i);
  ASSERT_TRUE(fleet.wait(60s)) << fleetStatus(statusFile).dump();
  EXPECT_EQ(*fleet.poll(), 1) << fleet.out() << fleet.err();  // 1: the agents reported refusals
  EXPECT_EQ(fleetStatus(statusFile)["commands"]["audit"], kSigned);
  EXPECT_EQ(fleetStatus(statusFile)["commands"]["quit"], kSigned);
  // Each agent reported the refusals once.
  EXPECT_EQ(counter(statusFile, "errors"), kSigned) << fleet.err();
  EXPECT_EQ(server.stop(), 0) << server.err();
}

}  // namespace
}  // namespace quorvane::e2e
