// The QuorvaneServer program end to end on loopback: --headless stores an
// upload and ends with 0 on SIGTERM, a port in use ends start-up with the
// error block and a non-zero status (the window goes on without intake), a restart loads what was stored (seen
// through --send), --screenshot offscreen, and a bad command line.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "server/core/CommandTokens.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/RawClient.h"

namespace quorvane {
namespace {

using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::Uploader;
using testing::waitUntil;

const QString kProgram = QStringLiteral(QUORVANE_BINARY_DIR "/bin/QuorvaneServer");

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  // Runs the program to its end and returns its exit status.
  int run(const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.start(kProgram, args);
    if (!p.waitForFinished(timeoutMs)) {
      p.kill();
      p.waitForFinished();
      return -1;
    }
    out = p.readAllStandardOutput().toStdString();
    err = p.readAllStandardError().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  TempFolder dir;
  std::string out, err;
};

TEST_F(ProgramTest, HeadlessStoresAnUploadAndEndsOnSigterm) {
  const int port = testing::freePortBelowEphemeral();
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(port) + "\r\n");
  QProcess server;
  server.start(kProgram, {"--dir", QString::fromStdString(dir.path()), "--headless"});
  ASSERT_TRUE(server.waitForStarted());

  std::unique_ptr<Uploader> agent;
  ASSERT_TRUE(waitUntil([&] {
    agent = std::make_unique<Uploader>("127.0.0.1", port);
    return agent->connected();
  }));
  const std::string upload = storedForm(sampleRecord(5, "127.0.0.1", "Office"));
  ASSERT_TRUE(agent->send(upload + std::string(kEndMarker)));
  agent->finish();
  ASSERT_TRUE(waitUntil([&] { return dir.read("DataStore/127.0.0.1.dat") == upload + "\r\n"; }));

  ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
  ASSERT_TRUE(server.waitForFinished(30000));
  EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.exitCode(), 0);
  EXPECT_EQ(server.readAllStandardError().toStdString(), "");

  // A restart loads the stored audit: the sender finds its row.
  EXPECT_EQ(run({"--dir", QString::fromStdString(dir.path()), "--send", "Check Client Status", "--to", "127.0.0.1"}),
            2);  // the sample audit's agent listens nowhere
  EXPECT_NE(out.find("127.0.0.1: Connecting...\n"), std::string::npos) << out;
  EXPECT_NE(out.find("127.0.0.1: Timed out...\n"), std::string::npos) << out;
}

// Starts the headless server on `port` and waits until the port takes
// connections (start-up step 10; DataStore loads after it).
bool startHeadless(QProcess& server, const TempFolder& dir, int port) {
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(port) + "\r\n");
  server.start(kProgram, {"--dir", QString::fromStdString(dir.path()), "--headless"});
  if (!server.waitForStarted()) return false;
  return waitUntil([&] {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    return probe.waitForConnected(50);
  }, 30000);
}

// The termination signal ends the headless server at once with status 0,
// wherever it is: loading a large DataStore, or under a flood of bombs.
TEST_F(ProgramTest, SigtermEndsTheHeadlessServerAtOnce) {
  const struct {
    const char* name;
    bool flood;
  } rows[] = {{"under a flood of zlib bombs", true}, {"while DataStore loads", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (!row.flood) {  // a DataStore that takes seconds to load
      const std::string stored = storedForm(sampleRecord(6, "127.0.0.1", "Office", 0, 1500)) + "\r\n";
      for (int i = 0; i < 2000; ++i) {
        dir.write("DataStore/127.0." + std::to_string(20 + i / 250) + "." + std::to_string(1 + i % 250) + ".dat",
                  stored);
      }
    }
    const int port = testing::freePortBelowEphemeral();
    QProcess server;
    ASSERT_TRUE(startHeadless(server, dir, port));
    std::atomic<bool> stop{false};
    std::vector<std::thread> bombers;
    if (row.flood) {
      const std::string bomb = testing::zlibBomb(64u * 1024 * 1024, 64u * 1024 * 1024) + std::string(kEndMarker);
      for (int b = 0; b < 2; ++b) {
        bombers.emplace_back([&, b, bomb] {
          const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
          while (!stop && std::chrono::steady_clock::now() < end) {
            const int s = testing::rawConnect("127.0.30." + std::to_string(b + 1), port);
            if (s < 0) continue;
            testing::sendAll(s, bomb);
            ::close(s);
          }
        });
      }
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
    const bool ended = server.waitForFinished(3000);
    stop = true;
    for (auto& t : bombers) t.join();
    if (!ended) {
      server.kill();
      server.waitForFinished();
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
  }
}

TEST_F(ProgramTest, PortInUseEndsWithTheErrorBlock) {
  QTcpServer occupant;
  ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
  dir.write("serverSettings.txt", "ListenPortNumber:" + std::to_string(occupant.serverPort()) + "\r\n");
  const int status = run({"--dir", QString::fromStdString(dir.path()), "--headless"});
  EXPECT_NE(status, 0);
  EXPECT_TRUE(err.starts_with("== QuorvaneServer (style 16) ==\nError in : QuorvaneServer.frmMain.Form_Load\n\n"
                              "Error Number : 10048\n"))
      << err;
  EXPECT_TRUE(err.ends_with("\n==\n")) << err;
}

TEST_F(ProgramTest, SendToAnUnknownAddressExitsOne) {
  dir.write("DataStore/127.0.0.1.dat", storedForm(sampleRecord(1, "127.0.0.1")) + "\r\n");
  EXPECT_EQ(run({"--dir", QString::fromStdString(dir.path()), "--send", "Request Re-Audit", "--to", "127.0.0.50"}),
            1);
  EXPECT_EQ(out, "");
}

TEST_F(ProgramTest, ScreenshotsOffscreen) {
  dir.write("DataStore/127.0.0.1.dat", storedForm(sampleRecord(1, "127.0.0.1")) + "\r\n");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(kProgram, {"--dir", QString::fromStdString(dir.path()), "--screenshot",
                     QString::fromStdString(dir.path() + "shots")});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  for (const char* name : {"shots/local-view.png", "shots/global-view.png", "shots/reporting.png"}) {
    EXPECT_TRUE(dir.exists(name)) << name;
    EXPECT_TRUE(dir.read(name).starts_with("\x89PNG")) << name;
  }
}

TEST_F(ProgramTest, WindowWithItsPortInUseStillShowsDataStore) {
  QTcpServer occupant;
  ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
  const std::string port = std::to_string(occupant.serverPort());
  dir.write("serverSettings.txt", "ListenPortNumber:" + port + "\r\n");
  dir.write("DataStore/127.0.0.1.dat", storedForm(sampleRecord(1, "127.0.0.1")) + "\r\n");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(kProgram, {"--dir", QString::fromStdString(dir.path()), "--screenshot",
                     QString::fromStdString(dir.path() + "shots")});
  ASSERT_TRUE(p.waitForFinished(60000));
  const std::string said = p.readAllStandardError().toStdString();
  EXPECT_EQ(p.exitCode(), 0) << said;
  EXPECT_NE(said.find("Error Number : 10048\n"), std::string::npos) << said;
  EXPECT_NE(said.find("Port " + port + " is in use"), std::string::npos) << said;
  // Start-up went on: the first machine's views were drawn.
  EXPECT_TRUE(dir.read("shots/software.png").starts_with("\x89PNG"));
}

TEST_F(ProgramTest, BadCommandLineExits64) {
  EXPECT_EQ(run({"--send", "Format Disk", "--to", "127.0.0.1"}), 64);
  EXPECT_NE(err.find("Usage: QuorvaneServer"), std::string::npos);
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.find("--headless"), std::string::npos);
}

}  // namespace
}  // namespace quorvane
