// End to end on loopback: the console's "Send Message" reaches the people at
// a Linux PC. A headless QuorvaneServer takes the real agent's upload (which
// records its command port), then QuorvaneServer --send "Send Message" sends
// "Grüße" (8-bit on the wire). The agent is pointed, through its test seams,
// at a private session bus with the stand-in notification service and at
// login records naming a pseudo-terminal of this test: the service must get
// the text in UTF-8, the terminal a broadcast with it, and the agent's
// standard error the message box, while the agent goes on taking commands.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utmp.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/linux/PrivateBusTesting.h"
#include "tools/e2e/Processes.h"

namespace quorvane::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kBin = fs::path(QUORVANE_BINARY_DIR) / "bin";
const std::string kGruesseUtf8 = "Gr\xC3\xBC\xC3\x9F" "e";

// Sets an environment variable for the children started meanwhile.
struct ScopedEnv {
  std::string name;
  ScopedEnv(std::string n, const std::string& value) : name(std::move(n)) { ::setenv(name.c_str(), value.c_str(), 1); }
  ~ScopedEnv() { ::unsetenv(name.c_str()); }
};

std::string utmpWithLogin(const std::string& line) {
  struct utmp u;
  std::memset(&u, 0, sizeof u);
  u.ut_type = USER_PROCESS;
  std::strncpy(u.ut_user, "alice", sizeof u.ut_user);
  std::strncpy(u.ut_line, line.c_str(), sizeof u.ut_line);
  return std::string(reinterpret_cast<const char*>(&u), sizeof u);
}

class UserMessageE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* p : {"QuorvaneServer", "QuorvanePro", "quorvane-notify-standin"}) {
      if (!fs::exists(kBin / p)) GTEST_SKIP() << p << " is not built";
    }
    root = fs::temp_directory_path() / ("qv-msg-e2e-" + std::to_string(::getpid()));
    fs::remove_all(root);
    for (const char* d : {"server", "agent", "bus"}) fs::create_directories(root / d);
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

TEST_F(UserMessageE2E, SendMessageArrivesAtTheNotificationServiceAndTheTerminalInUtf8) {
  quorvane::testing::PrivateBus bus(root / "bus");
  ASSERT_TRUE(bus.ready()) << "dbus-daemon did not start";
  quorvane::testing::NotificationStandIn service(kBin / "quorvane-notify-standin", bus.address(), root / "calls");
  ASSERT_TRUE(service.ready());
  quorvane::testing::Pty pty;
  ASSERT_EQ(pty.device.rfind("/dev/", 0), 0u);
  std::ofstream(root / "utmp", std::ios::binary) << utmpWithLogin(pty.device.substr(5));

  const int serverPort = freeLoopbackPort();
  ASSERT_GT(serverPort, 0);
  std::ofstream(root / "server" / "serverSettings.txt", std::ios::binary)
      << "ListenPortNumber:" << serverPort << "\r\nConnectPortNumber:0\r\n";
  Child server({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--headless"},
               root / "server.out", root / "server.err");
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(serverPort) || server.poll(); }, 60s)) << server.err();
  const int agentPort = freeLoopbackPort();  // the server's is taken now
  ASSERT_GT(agentPort, 0);

  std::ofstream(root / "agent" / "clientSettings.txt", std::ios::binary)
      << "ServerIP:127.0.0.1\r\nConnectPortNumber:" << serverPort << "\r\nListenPortNumber:" << agentPort << "\r\n";
  ScopedEnv buses("QUORVANE_MESSAGE_BUSES", bus.address());
  ScopedEnv logins("QUORVANE_MESSAGE_UTMP", (root / "utmp").string());
  ScopedEnv utf8("LC_ALL", "C.UTF-8");
  Child agent({(kBin / "QuorvanePro").string(), "--dir", (root / "agent").string(), "--power", "dry-run"},
              root / "agent.out", root / "agent.err");
  const fs::path stored = root / "server" / "DataStore" / "127.0.0.1.dat";
  ASSERT_TRUE(waitFor([&] { return fs::exists(stored) || agent.poll(); }, 90s)) << agent.err() << server.err();
  ASSERT_TRUE(waitFor([&] { return acceptsConnections(agentPort); }, 30s));

  const RunResult sent = runToEnd({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--send",
                                   "Send Message", "--to", "127.0.0.1", "--message", kGruesseUtf8},
                                  root, 60s);
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;

  ASSERT_TRUE(waitFor([&] { return !service.calls().empty(); }, 20s)) << agent.err();
  const auto call = nlohmann::json::parse(service.calls()[0]);
  EXPECT_EQ(call["app"], "Quorvane Pro");
  EXPECT_EQ(call["summary"], "Message from your administrator");
  EXPECT_EQ(call["body"], kGruesseUtf8);
  const std::string tty = pty.read(1, 20s) + pty.read(4096, 300ms);
  EXPECT_NE(tty.find("Broadcast message from Quorvane Pro@"), std::string::npos) << tty;
  EXPECT_NE(tty.find("\r\n\r\n" + kGruesseUtf8 + "\r\n"), std::string::npos) << tty;
  ASSERT_TRUE(waitFor([&] { return agent.err().find(kGruesseUtf8) != std::string::npos; }, 10s)) << agent.err();
  EXPECT_NE(agent.err().find("== QuorvanePro (style 64) ==\n" + kGruesseUtf8 + "\n=="), std::string::npos)
      << agent.err();
  EXPECT_EQ(agent.err().find("style 16"), std::string::npos) << "no problem to report: " << agent.err();

  // The agent goes on: it still answers "Check Client Status".
  const RunResult check = runToEnd({(kBin / "QuorvaneServer").string(), "--dir", (root / "server").string(), "--send",
                                    "Check Client Status", "--to", "127.0.0.1"},
                                   root, 60s);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(agent.stop(), 0);
}

}  // namespace
}  // namespace quorvane::e2e
