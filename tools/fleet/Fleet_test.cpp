// The fleet simulator: a small fleet on loopback against a test server that
// keeps uploads like the server does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "agent/AgentProtocol.h"
#include "agent/AgentTesting.h"
#include "agent/LoopTesting.h"
#include "agent/modMisc.h"
#include "common/AuditRecordIO.h"
#include "common/ScratchFolders.h"
#include "platform/Platform.h"
#include "tools/fleet/Fleet.h"
#include "tools/fleet/FleetMachines.h"

namespace quorvane::fleet {
namespace {

namespace fs = std::filesystem;
using agent::testing::runUntil;
using nlohmann::json;

fs::path freshFolder(const std::string& name) { return quorvane::testing::scratchFolder("qv-fleet", name); }

json readJson(const fs::path& p) {
  std::ifstream in(p);
  return json::parse(in);
}

// Keeps every upload like the server: "<peer>.dat" = bytes before the end
// marker + CR LF, once the agent half-closes.
class KeepingServer {
 public:
  KeepingServer(asio::io_context& io, fs::path dataStore, unsigned short port = 0)
      : io_(io), acceptor_(io, {asio::ip::make_address_v4("127.0.0.1"), port}), dataStore_(std::move(dataStore)) {
    fs::create_directories(dataStore_);
    acceptNext();
  }
  int port() const { return acceptor_.local_endpoint().port(); }
  std::vector<std::string> peers;  // in order of completed uploads
  std::map<std::string, std::string> uploads;

 private:
  void acceptNext() {
    auto s = std::make_shared<asio::ip::tcp::socket>(io_);
    acceptor_.async_accept(*s, [this, s](const asio::error_code& ec) {
      if (ec) return;
      read(s, std::make_shared<std::string>());
      acceptNext();
    });
  }
  void read(std::shared_ptr<asio::ip::tcp::socket> s, std::shared_ptr<std::string> got) {
    auto chunk = std::make_shared<std::array<char, 65536>>();
    s->async_read_some(asio::buffer(*chunk), [this, s, got, chunk](const asio::error_code& ec, std::size_t n) {
      got->append(chunk->data(), n);
      if (ec) {
        const std::string peer = s->remote_endpoint().address().to_string();
        const auto end = got->find(agent::EndMarker);
        if (end != std::string::npos) {
          got->resize(end);
          uploads[peer] = *got;
          EXPECT_TRUE(agent::writeWholeFile(dataStore_ / (peer + ".dat"), *got + "\r\n").ok());
          peers.push_back(peer);
        }
        s->close();
        return;
      }
      read(s, got);
    });
  }
  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  fs::path dataStore_;
};

// Connects from 127.0.0.x to an agent and sends one token.
bool sendCommand(asio::io_context& io, const std::string& from, const std::string& to, int port,
                 std::string_view token) {
  asio::ip::tcp::socket s(io);
  s.open(asio::ip::tcp::v4());
  s.bind({asio::ip::make_address_v4(from), 0});
  asio::error_code ec;
  bool done = false;
  s.async_connect({asio::ip::make_address_v4(to), static_cast<unsigned short>(port)}, [&](const asio::error_code& e) {
    ec = e;
    done = true;
  });
  if (!runUntil(io, [&] { return done; }) || ec) return false;
  asio::write(s, asio::buffer(token.data(), token.size()), ec);
  bool ended = false;
  std::array<char, 8> buf{};
  std::function<void()> readOn = [&] {
    s.async_read_some(asio::buffer(buf), [&](const asio::error_code& e, std::size_t) {
      if (e) ended = true;
      else readOn();
    });
  };
  readOn();
  const bool ok = runUntil(io, [&] { return ended; });
  s.close(ec);
  return ok;
}

// 20000-29105: apart from the end-to-end test's 30000-50048, so both may run at once.
int listenBaseForThisRun() { return 20000 + static_cast<int>(::getpid() % 9000); }

TEST(Fleet, SmallFleetUploadsFromItsOwnAddressesAndTakesCommands) {
  asio::io_context io;
  const fs::path root = freshFolder("small");
  ASSERT_TRUE(writeFleetMachines(root / "machines", 3, 3, defaultMachineTemplates()).ok());
  KeepingServer server(io, root / "DataStore");
  FleetOptions o;
  o.serverPort = server.port();
  o.agents = 6;  // machine files are reused in turn
  o.machines = root / "machines";
  o.listenBase = listenBaseForThisRun();
  o.concurrency = 2;
  o.workDir = root / "work";
  o.dataStore = root / "DataStore";
  Fleet fleet(io, o);
  ASSERT_TRUE(fleet.prepare().ok());
  fleet.start();
  EXPECT_FALSE(fleet.allStarted());  // two at a time
  ASSERT_TRUE(runUntil(io, [&] { return fleet.allStarted() && fleet.firstUploadsSettled(); }));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.allAcknowledged(); }));

  std::set<std::string> peers(server.peers.begin(), server.peers.end());
  ASSERT_EQ(peers.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const std::string ip = fleetAddress(i);
    ASSERT_TRUE(peers.count(ip));
    auto record = decodeStoredAudit(server.uploads[ip]);
    ASSERT_TRUE(record.ok()) << record.status().description();
    EXPECT_EQ(record->Hardware.Network.IP, ip);
    EXPECT_EQ(record->ListenPortNumber, o.listenBase + i);
    const json m = readJson(listMachineFiles(o.machines)[i % 3]);
    EXPECT_EQ(record->Hardware.Network.Hostname, m["network"]["hostName"].get<std::string>());
    EXPECT_EQ(fs::path(fleet.agentAt(i).auditFile()), fleet.folder(i) / (ip + ".dat"));
  }
  FleetSummary s = fleet.summary();
  EXPECT_EQ(s.uploadsSent, 6);
  EXPECT_EQ(s.uploadsAcknowledged, 6);
  EXPECT_EQ(s.uploadsFailed, 0);
  EXPECT_EQ(s.errors, 0) << (fleet.errorTexts().empty() ? "" : fleet.errorTexts()[0]);
  EXPECT_EQ(s.running, 6);

  // Commands reach exactly the agent addressed; others are refused.
  const std::string third = fleetAddress(2);
  ASSERT_TRUE(sendCommand(io, "127.0.0.1", third, o.listenBase + 2, agent::tokAudit));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.summary().uploadsAcknowledged == 7; }));
  EXPECT_EQ(server.peers.back(), third);
  ASSERT_TRUE(sendCommand(io, "127.0.0.1", fleetAddress(3), o.listenBase + 3, agent::tokPowerOff));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.summary().commands["power-off"] == 1; }));
  ASSERT_TRUE(sendCommand(io, "127.0.0.9", fleetAddress(4), o.listenBase + 4, agent::tokReboot));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.summary().commandsRefused == 1; }));
  ASSERT_TRUE(sendCommand(io, "127.0.0.1", fleetAddress(5), o.listenBase + 5, agent::tokQuit));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.summary().running == 5; }));
  EXPECT_TRUE(fleet.agentAt(5).ended());
  s = fleet.summary();
  EXPECT_EQ(s.commandsReceived, 3);
  EXPECT_EQ(s.commands.count("reboot"), 0u);
  EXPECT_EQ(s.errors, 0);

  fleet.stopAll();
  EXPECT_TRUE(fleet.allEnded());
  EXPECT_EQ(fleet.summary().running, 0);
}

TEST(Fleet, BurstHoldsEveryUploadUntilReleased) {
  asio::io_context io;
  const fs::path root = freshFolder("burst");
  ASSERT_TRUE(writeFleetMachines(root / "machines", 2, 5, defaultMachineTemplates()).ok());
  KeepingServer server(io, root / "DataStore");
  FleetOptions o;
  o.serverPort = server.port();
  o.agents = 4;
  o.machines = root / "machines";
  o.listenBase = 0;  // not commanded
  o.workDir = root / "work";
  o.burst = true;
  Fleet fleet(io, o);
  ASSERT_TRUE(fleet.prepare().ok());
  fleet.start();
  ASSERT_TRUE(fleet.allStarted());
  for (int i = 0; i < 20; ++i) agent::testing::drain(io);
  EXPECT_TRUE(server.peers.empty());
  EXPECT_FALSE(fleet.firstUploadsSettled());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(fs::exists(fleet.folder(i) / (fleetAddress(i) + ".dat")));
  fleet.release();
  ASSERT_TRUE(runUntil(io, [&] { return server.peers.size() == 4 && fleet.firstUploadsSettled(); }));
  EXPECT_EQ(fleet.summary().uploadsSent, 4);
}

TEST(Fleet, AServerThatIsDownCountsFailuresAndKeepsTheAuditFiles) {
  asio::io_context io;
  const fs::path root = freshFolder("down");
  ASSERT_TRUE(writeFleetMachines(root / "machines", 1, 1, defaultMachineTemplates()).ok());
  int closedPort = 0;
  {
    asio::ip::tcp::acceptor a(io, {asio::ip::make_address_v4("127.0.0.1"), 0});
    closedPort = a.local_endpoint().port();
  }
  FleetOptions o;
  o.serverPort = closedPort;
  o.agents = 3;
  o.machines = root / "machines";
  o.listenBase = 0;
  o.workDir = root / "work";
  Fleet fleet(io, o);
  ASSERT_TRUE(fleet.prepare().ok());
  fleet.start();
  ASSERT_TRUE(runUntil(io, [&] { return fleet.firstUploadsSettled(); }));
  const FleetSummary s = fleet.summary();
  EXPECT_EQ(s.uploadsFailed, 3);
  EXPECT_EQ(s.uploadsSent, 0);
  EXPECT_EQ(s.errors, 3);  // each agent reports its failed upload once, and tries again later
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(fs::exists(fleet.folder(i) / (fleetAddress(i) + ".dat")));
}

TEST(Fleet, AnAgentWhoseServerWasDownUploadsAtItsNextAudit) {
  asio::io_context io;
  const fs::path root = freshFolder("later");
  ASSERT_TRUE(writeFleetMachines(root / "machines", 1, 1, defaultMachineTemplates()).ok());
  const auto port = static_cast<unsigned short>(agent::testing::freePort());  // the server listens there later
  FleetOptions o;
  o.serverPort = port;
  o.agents = 1;
  o.machines = root / "machines";
  o.listenBase = listenBaseForThisRun() + 100;
  o.workDir = root / "work";
  o.dataStore = root / "DataStore";
  Fleet fleet(io, o);
  ASSERT_TRUE(fleet.prepare().ok());
  fleet.start();
  ASSERT_TRUE(runUntil(io, [&] { return fleet.firstUploadsSettled(); }));
  ASSERT_EQ(fleet.summary().uploadsFailed, 1);
  const std::string kept = *agent::readWholeFile(fleet.folder(0) / (fleetAddress(0) + ".dat"));
  // The server comes up; the next audit (asked for by the server) is uploaded.
  KeepingServer server(io, root / "DataStore", port);
  ASSERT_TRUE(sendCommand(io, "127.0.0.1", fleetAddress(0), o.listenBase, agent::tokAudit));
  ASSERT_TRUE(runUntil(io, [&] { return fleet.summary().uploadsAcknowledged == 1; }));
  ASSERT_EQ(server.peers, std::vector<std::string>{fleetAddress(0)});
  auto record = decodeStoredAudit(server.uploads[fleetAddress(0)]);
  ASSERT_TRUE(record.ok());
  EXPECT_EQ(record->Hardware.Network.IP, fleetAddress(0));
  EXPECT_EQ(kept.size() > 0, true);
  fleet.stopAll();
}

TEST(Fleet, PrepareRefusesWhatItMustNotRun) {
  asio::io_context io;
  const fs::path root = freshFolder("refuse");
  ASSERT_TRUE(writeFleetMachines(root / "machines", 1, 1, defaultMachineTemplates()).ok());
  struct Row {
    const char* name;
    std::function<void(FleetOptions&)> change;
  };
  const std::vector<Row> rows = {
      {"a server off loopback", [](FleetOptions& o) { o.serverIP = "192.0.2.10"; }},
      {"a server name", [](FleetOptions& o) { o.serverIP = "localhost"; }},
      {"no machine files", [&](FleetOptions& o) { o.machines = root / "none"; }},
      {"ports past 65535", [](FleetOptions& o) { o.listenBase = 65530; }},
      {"no port", [](FleetOptions& o) { o.serverPort = 0; }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FleetOptions o;
    o.serverPort = 4000;
    o.agents = 10;
    o.machines = root / "machines";
    o.workDir = root / "work";
    r.change(o);
    Fleet fleet(io, o);
    EXPECT_FALSE(fleet.prepare().ok());
  }
}

}  // namespace
}  // namespace quorvane::fleet
