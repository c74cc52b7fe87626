// The intake under hostile input and hard conditions: garbage, truncated
// audits, a declared length of 2^40, a zlib bomb, a stream without end marker
// that never stops, idle connections, running out of descriptors, a full
// disk; and what a few thousand clients need (open-file limit, backlog, idle
// time-out). Good uploads sent meanwhile must be stored; bad ones reported
// and never stored over a good file. Raw client sockets from 127.0.x.y.
// Also the buffers and bounds under ordinary agents' uploads.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "common/ErrorReport.h"
#include "common/SampleAudit.h"
#include "common/modCompression.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerTexts.h"
#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/RawClient.h"
#include "server/testsupport/ServerCoreFixture.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::closedByServer;
using testing::IntakeTest;
using testing::Uploader;
using testing::rawConnect;
using testing::sendAll;
using testing::waitUntil;
using testing::zlibOf;

const std::string kMarker(kEndMarker);

long residentBytes() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int openDescriptors() {
  int n = 0;
  for (int fd = 0; fd < 65536; ++fd) n += ::fcntl(fd, F_GETFD) != -1;
  return n;
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }

  void startServer(IntakeLimits limits) {
    core = std::make_unique<ServerCore>(dir.path(), sink);
    core->setIntakeLimits(limits);
    StartupView view;
    ASSERT_TRUE(core->start(view).ok());
    port = core->intake().port();
  }
  // Sends one whole upload (+ marker) from `from` and waits until the
  // server has closed that connection after the agent's close.
  void upload(const std::string& from, std::string_view bytes) {
    const int s = rawConnect(from, port);
    ASSERT_GE(s, 0);
    ASSERT_TRUE(sendAll(s, bytes));
    ::shutdown(s, SHUT_WR);
    ASSERT_TRUE(waitUntil([&] { return closedByServer(s); }));
    ASSERT_TRUE(waitUntil([&] { return core->intake().openConnections() == 0; }));
    ASSERT_TRUE(waitUntil([&] { return core->uploadsDecoding() == 0; }));
    ::close(s);
  }
  int reports() const {
    int n = 0;
    for (const auto& m : sink.messages) n += m.text.starts_with("Error in : ");
    return n;
  }

  TempFolder dir;
  RecordingSink sink;
  std::unique_ptr<ServerCore> core;
  int port = 0;
};

TEST_F(HostileTest, WhatAFewThousandClientsNeedOfTheServer) {
  // An inbound connection is closed after 60 s without data by default.
  EXPECT_EQ(IntakeLimits{}.idleTimeoutMs, 60000);
  // An upload may take 120 s whatever it sends, and 16 MiB (a record's limit).
  EXPECT_EQ(IntakeLimits{}.uploadDeadlineMs, 120000);
  EXPECT_EQ(IntakeLimits{}.perConnection, kMaxRecordBytes);
  EXPECT_EQ(IntakeLimits{}.total, 256u * 1024 * 1024);
  // A fresh machine's soft open-file limit: raised to the hard one at start.
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  rlimit low = before;
  low.rlim_cur = std::min<rlim_t>(1024, before.rlim_max);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  startServer(IntakeLimits{});
  rlimit after{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &after), 0);
  EXPECT_EQ(after.rlim_cur, before.rlim_max);
  // A listen backlog sized for a fleet that connects at once.
  EXPECT_GE(core->intake().listenBacklog(), 4096);
}

TEST_F(HostileTest, AcceptingResumesAfterRunningOutOfDescriptors) {
  startServer(IntakeLimits{});
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  // Room for exactly five client sockets and nothing more: the server's
  // accepts fail with "too many open files".
  constexpr int kClients = 5;
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(openDescriptors() + kClients);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<int> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(rawConnect("127.0.6." + std::to_string(i + 1), port));
  for (int c : clients) ASSERT_GE(c, 0);
  EXPECT_TRUE(waitUntil([&] { return core->intake().acceptFailures() > 0; }, 10000));
  EXPECT_LT(core->intake().openConnections(), kClients);
  // Descriptors free again: every waiting connection is taken.
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(waitUntil([&] { return core->intake().openConnections() == kClients; }, 20000));
  for (int c : clients) ::close(c);
  EXPECT_TRUE(waitUntil([&] { return core->intake().openConnections() == 0; }));
  EXPECT_TRUE(core->intake().isListening());
}

TEST_F(HostileTest, BadUploadsAreReportedStoreNothingAndGoodOnesGetThrough) {
  IntakeLimits limits;
  limits.perConnection = 256 * 1024;
  limits.total = 4 * 1024 * 1024;
  limits.idleTimeoutMs = 500;
  limits.share.rejectsBeforeRefusal = 0;  // every bad upload is tried, from whatever source
  startServer(limits);

  const std::string good = storedForm(sampleRecord(1, "127.0.3.1", "corp", 0, 5));
  upload("127.0.3.1", good + kMarker);
  ASSERT_TRUE(dir.exists("DataStore/127.0.3.1.dat"));
  const std::string goodFile = dir.read("DataStore/127.0.3.1.dat");
  ASSERT_EQ(goodFile, good + "\r\n");
  const long rssBefore = residentBytes();

  // 1,000 connections of garbage, 50 at a time, from 1,000 addresses.
  std::mt19937 rng(42);
  for (int batch = 0; batch < 20; ++batch) {
    std::vector<int> open;
    for (int i = 0; i < 50; ++i) {
      const int k = batch * 50 + i;
      const int s = rawConnect("127.0." + std::to_string(10 + k / 250) + "." + std::to_string(1 + k % 250), port);
      ASSERT_GE(s, 0);
      std::string junk(64 + rng() % 512, '\0');
      for (char& c : junk) c = static_cast<char>(rng());
      ASSERT_TRUE(sendAll(s, junk + (k % 2 ? kMarker : "")));  // half of them never finish
      ::shutdown(s, SHUT_WR);
      open.push_back(s);
    }
    ASSERT_TRUE(waitUntil([&] {
      for (int s : open) {
        if (!closedByServer(s)) return false;
      }
      return core->intake().openConnections() == 0 && core->uploadsDecoding() == 0;
    }));
    for (int s : open) ::close(s);
  }
  EXPECT_EQ(reports(), 500);  // each one with a marker was decoded, rejected and reported

  struct Bad {
    const char* name;
    std::string bytes;
  };
  const std::string plain = std::string(1000, 'x');
  std::string bomb = zlibOf(std::string(64u * 1024 * 1024, '\0'));
  const std::vector<Bad> bad = {
      {"garbage from the good client", "\x01\x02garbage" + kMarker},
      {"truncated audit", good.substr(0, good.size() / 2) + kMarker},
      {"declared length 2^40", "1099511627776" + std::string(1, '\0') + zlibOf(plain) + kMarker},
      {"declared length that is no number", "12x4" + std::string(1, '\0') + zlibOf(plain) + kMarker},
      {"zlib bomb", std::to_string(64u * 1024 * 1024) + std::string(1, '\0') + bomb + kMarker},
      {"zlib bomb under a small length", "100" + std::string(1, '\0') + bomb + kMarker},
      {"only the marker", kMarker},
      // 64 MiB raw, 66 KB on the wire: refused before it is inflated.
      {"5,592,278 empty applications", makeStoredForm(serialisedRecordWithEmptyApplications(5592278)) + kMarker},
      {"65,537 empty applications", makeStoredForm(serialisedRecordWithEmptyApplications(65537)) + kMarker},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    const int reportsBefore = reports();
    upload("127.0.3.1", b.bytes);
    EXPECT_EQ(reports(), reportsBefore + 1);
    EXPECT_EQ(dir.read("DataStore/127.0.3.1.dat"), goodFile);
    EXPECT_EQ(core->state().clientCount(), 1);
  }

  // A stream without end marker that never stops, idle connections, and a
  // good upload meanwhile.
  const int endless = rawConnect("127.0.3.7", port);
  ASSERT_GE(endless, 0);
  ::fcntl(endless, F_SETFL, O_NONBLOCK);
  std::vector<int> idle;
  for (int i = 0; i < 20; ++i) idle.push_back(rawConnect("127.0.3." + std::to_string(100 + i), port));
  const std::string second = storedForm(sampleRecord(2, "127.0.3.2", "corp", 0, 3));
  const int goodClient = rawConnect("127.0.3.2", port);
  ASSERT_TRUE(sendAll(goodClient, second + kMarker));
  ::shutdown(goodClient, SHUT_WR);
  const std::string chunk(16 * 1024, 'z');
  bool cut = false;
  ASSERT_TRUE(waitUntil([&] {
    const ssize_t n = ::send(endless, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      cut = true;
    }
    return cut;
  }, 30000));
  EXPECT_TRUE(waitUntil([&] {
    for (int s : idle) {
      if (!closedByServer(s)) return false;
    }
    return core->intake().openConnections() == 0;
  }, 20000));  // idle ones too
  ASSERT_TRUE(waitUntil([&] { return dir.exists("DataStore/127.0.3.2.dat"); }));
  EXPECT_EQ(dir.read("DataStore/127.0.3.2.dat"), second + "\r\n");
  ::close(endless);
  ::close(goodClient);
  for (int s : idle) ::close(s);

  // The server keeps running, holds nothing for closed connections, and its
  // memory stayed bounded (the bomb was refused before it was inflated whole).
  EXPECT_TRUE(core->intake().isListening());
  EXPECT_EQ(core->intake().totalBuffered(), 0u);
  EXPECT_LT(residentBytes() - rssBefore, 200L * 1024 * 1024);
  EXPECT_EQ(dir.read("DataStore/127.0.3.1.dat"), goodFile);
  for (const std::string& name : dir.list("DataStore")) {
    if (name.ends_with(".dat")) {
      EXPECT_TRUE(name == "127.0.3.1.dat" || name == "127.0.3.2.dat") << name;
    }
  }
  upload("127.0.3.1", good + kMarker);  // and still takes good uploads
  EXPECT_EQ(dir.read("DataStore/127.0.3.1.dat"), goodFile);
}

// A connection that holds nearly all the upload memory without ever
// finishing: a small upload that needs room drops it, not the other way.
TEST_F(HostileTest, AnUploadThatHoldsTheMemoryIsDroppedRatherThanASmallOne) {
  IntakeLimits limits;
  limits.perConnection = 4 * 1024 * 1024;
  limits.total = 4 * 1024 * 1024;
  startServer(limits);
  const int hog = rawConnect("127.0.8.1", port);
  ASSERT_GE(hog, 0);
  const std::string hogBytes(limits.total - 1000, 'h');
  std::string_view rest = hogBytes;
  ASSERT_TRUE(waitUntil([&] {
    if (!rest.empty()) {
      const ssize_t n = ::send(hog, rest.data(), std::min<std::size_t>(rest.size(), 65536), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) rest.remove_prefix(static_cast<std::size_t>(n));
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return true;  // cut already
      return false;
    }
    return core->intake().totalBuffered() >= hogBytes.size() || closedByServer(hog);
  }));
  const std::string good = storedForm(sampleRecord(8, "127.0.8.2", "corp", 0, 40));
  ASSERT_GT(good.size(), 1000u);
  upload("127.0.8.2", good + kMarker);
  EXPECT_EQ(dir.read("DataStore/127.0.8.2.dat"), good + "\r\n");
  EXPECT_TRUE(waitUntil([&] { return closedByServer(hog); }));
  ::close(hog);
}

// Slow senders (a byte now and then, never an end marker) are never idle,
// yet they are cut at the upload deadline.
TEST_F(HostileTest, SlowSendersAreCutAtTheUploadDeadline) {
  IntakeLimits limits;
  limits.idleTimeoutMs = 60000;
  limits.uploadDeadlineMs = 1000;
  startServer(limits);
  std::vector<int> slow;
  for (int i = 0; i < 10; ++i) slow.push_back(rawConnect("127.0.9." + std::to_string(i + 1), port));
  for (int s : slow) ASSERT_GE(s, 0);
  auto last = std::chrono::steady_clock::now();
  const bool cut = waitUntil([&] {
    if (std::chrono::steady_clock::now() - last > std::chrono::milliseconds(100)) {
      last = std::chrono::steady_clock::now();
      for (int s : slow) ::send(s, "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    for (int s : slow) {
      if (!closedByServer(s)) return false;
    }
    return true;
  }, 15000);
  for (int s : slow) ::close(s);
  EXPECT_TRUE(cut);
  EXPECT_TRUE(waitUntil([&] { return core->intake().openConnections() == 0; }));
  EXPECT_EQ(core->intake().totalBuffered(), 0u);
}

// Two clients sending zlib bombs of 64 MiB as fast as they can: a good
// upload sent in the middle of the flood is stored while it goes on.
TEST_F(HostileTest, AFloodOfZlibBombsDoesNotHoldUpAGoodUpload) {
  startServer(IntakeLimits{});
  const std::string bomb = testing::zlibBomb(64u * 1024 * 1024, 64u * 1024 * 1024) + kMarker;
  std::atomic<bool> stop{false};
  std::atomic<int> bombsSent{0};
  std::vector<std::thread> bombers;
  for (int b = 0; b < 2; ++b) {
    bombers.emplace_back([&, b] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!stop && std::chrono::steady_clock::now() < end) {
        const int s = rawConnect("127.0.10." + std::to_string(b + 1), port);
        if (s < 0) continue;
        sendAll(s, bomb);  // refused sources see their connections cut
        ++bombsSent;
        ::close(s);
      }
    });
  }
  const bool flooding = waitUntil([&] { return bombsSent >= 20; }, 10000);
  const std::string good = storedForm(sampleRecord(10, "127.0.10.100", "corp", 0, 10));
  const int client = rawConnect("127.0.10.100", port);
  const bool sent = client >= 0 && sendAll(client, good + kMarker);
  const int bombsAtSend = bombsSent;
  const bool stored = waitUntil([&] { return dir.exists("DataStore/127.0.10.100.dat"); }, 10000);
  // The flood went on past the good upload (a quick store may come before
  // the next bomb is out).
  const bool stillFlooding = waitUntil([&] { return bombsSent > bombsAtSend; }, 5000);
  stop = true;
  for (auto& t : bombers) t.join();
  if (client >= 0) ::close(client);
  ASSERT_TRUE(flooding);
  ASSERT_TRUE(sent);
  EXPECT_TRUE(stored);
  EXPECT_TRUE(stillFlooding);
  EXPECT_EQ(dir.read("DataStore/127.0.10.100.dat"), good + "\r\n");
  EXPECT_FALSE(dir.exists("DataStore/127.0.10.1.dat"));
}

// A source that keeps sending rejected uploads is refused for a while and
// says so once; other sources go on.
TEST_F(HostileTest, ASourceThatKeepsSendingRejectedUploadsIsRefusedAndSaysSoOnce) {
  IntakeLimits limits;
  limits.share.rejectsBeforeRefusal = 3;
  limits.share.refusalMs = 60000;
  startServer(limits);
  const auto refusals = [&] {
    int n = 0;
    for (const auto& m : sink.messages) n += m.text.find("are refused for 60 s") != std::string::npos;
    return n;
  };
  for (int i = 0; i < 3; ++i) upload("127.0.11.1", "garbage" + kMarker);
  ASSERT_TRUE(waitUntil([&] { return refusals() == 1; }));
  EXPECT_EQ(reports(), 4);  // three rejected uploads, then the refusal
  // Refused now: connections are closed as they come, and nothing more is said.
  for (int i = 0; i < 5; ++i) {
    const int s = rawConnect("127.0.11.1", port);
    ASSERT_GE(s, 0);
    sendAll(s, storedForm(sampleRecord(11, "127.0.11.1", "corp", 0, 2)) + kMarker);
    EXPECT_TRUE(waitUntil([&] { return closedByServer(s); }));
    ::close(s);
  }
  EXPECT_GE(core->intake().turnedAway(), 5);
  EXPECT_EQ(reports(), 4);
  EXPECT_FALSE(dir.exists("DataStore/127.0.11.1.dat"));
  // Another source is served as ever.
  const std::string good = storedForm(sampleRecord(12, "127.0.11.2", "corp", 0, 2));
  upload("127.0.11.2", good + kMarker);
  ASSERT_TRUE(waitUntil([&] { return dir.exists("DataStore/127.0.11.2.dat"); }));
  // At most a few connections of one source are held at once.
  std::vector<int> many;
  for (int i = 0; i < 20; ++i) many.push_back(rawConnect("127.0.11.3", port));
  EXPECT_TRUE(waitUntil([&] { return core->intake().turnedAway() >= 5 + 20 - limits.share.maxConnections; }));
  EXPECT_LE(core->intake().openConnections(), limits.share.maxConnections);
  for (int s : many) ::close(s);
}

// A write cut short (kill -9) leaves "<IP>.dat.tmp-XXXXXX": the next start
// removes it. A rejected upload is kept up to 1 MiB, the newest one.
TEST_F(HostileTest, LeftoversAreRemovedAtStartAndRejectedCopiesAreBounded) {
  dir.write("DataStore/127.0.12.1.dat.tmp-AbC123", "half a file");
  dir.write("DataStore/127.0.12.2.dat.tmp-000000", "");
  const std::string kept = storedForm(sampleRecord(13, "127.0.12.1", "corp", 0, 2));
  dir.write("DataStore/127.0.12.1.dat", kept + "\r\n");
  startServer(IntakeLimits{});
  for (const std::string& name : dir.list("DataStore")) EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
  EXPECT_EQ(dir.read("DataStore/127.0.12.1.dat"), kept + "\r\n");
  EXPECT_EQ(core->state().clientCount(), 1);

  const std::string big(3 * 1024 * 1024, 'b');
  upload("127.0.12.3", big + kMarker);
  ASSERT_TRUE(waitUntil([&] { return dir.exists("DataStore/127.0.12.3.dat.rejected"); }));
  EXPECT_EQ(dir.read("DataStore/127.0.12.3.dat.rejected"), big.substr(0, kMaxRejectedCopy));
  upload("127.0.12.3", "newer" + kMarker);
  EXPECT_TRUE(waitUntil([&] { return dir.read("DataStore/127.0.12.3.dat.rejected") == "newer"; }));
}

TEST_F(HostileTest, ADiskFullWhileWritingIsReportedAndThePreviousAuditKept) {
  startServer(IntakeLimits{});
  const std::string first = storedForm(sampleRecord(3, "127.0.3.3", "corp", 0, 1));
  upload("127.0.3.3", first + kMarker);
  ASSERT_EQ(dir.read("DataStore/127.0.3.3.dat"), first + "\r\n");
  const std::string bigger = storedForm(sampleRecord(4, "127.0.3.3", "corp", 0, 400));
  ASSERT_GT(bigger.size(), first.size() + 4096);

  // The file system takes no file longer than the first audit.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit full = saved;
  full.rlim_cur = first.size() + 2;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  const int before = reports();
  upload("127.0.3.3", bigger + kMarker);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);

  EXPECT_EQ(reports(), before + 1);
  ASSERT_FALSE(sink.messages.empty());
  EXPECT_NE(sink.messages.back().text.find("127.0.3.3.dat"), std::string::npos) << sink.messages.back().text;
  EXPECT_EQ(dir.read("DataStore/127.0.3.3.dat"), first + "\r\n");
  EXPECT_EQ(dir.list("DataStore"), std::vector<std::string>{"127.0.3.3.dat"});  // no half-written leftovers
  // The record in memory is still the first audit.
  ASSERT_EQ(core->state().clientCount(), 1);

  // With room again, the next upload is stored.
  upload("127.0.3.3", bigger + kMarker);
  EXPECT_EQ(dir.read("DataStore/127.0.3.3.dat"), bigger + "\r\n");
}

// ---------------------------------------------------------------- buffers and bounds
//
// One buffer per connection over real loopback connections: the end marker
// split across pieces, two clients at once, the bound per connection and of
// all buffers together, the buffer of a closed connection, an upload ending
// with the close, the idle time-out.

TEST_F(IntakeTest, MarkerSplitAcrossPiecesOnTheWire) {
  startServer();
  const std::string upload = storedForm(sampleRecord(4, "127.0.0.1"));
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.send(upload + kMarker.substr(0, 3)));
  ASSERT_TRUE(waitUntil([&] { return core->intake().totalBuffered() == upload.size() + 3; }));
  ASSERT_TRUE(agent.send(kMarker.substr(3)));
  ASSERT_TRUE(waitForClients(1));
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), upload + "\r\n");
}

TEST_F(IntakeTest, TwoClientsAtOnceKeepSeparateBuffers) {
  startServer();
  const std::string a = storedForm(sampleRecord(10, "127.0.0.2", "alpha"));
  const std::string b = storedForm(sampleRecord(11, "127.0.0.3", "beta"));
  Uploader first("127.0.0.2", port);
  Uploader second("127.0.0.3", port);
  ASSERT_TRUE(waitUntil([&] { return core->intake().openConnections() == 2; }));
  EXPECT_EQ(core->activity(), "2 Connections");
  ASSERT_TRUE(first.send(a.substr(0, 100)));
  ASSERT_TRUE(second.send(b.substr(0, 50)));
  ASSERT_TRUE(waitUntil([&] { return core->intake().totalBuffered() == 150; }));
  ASSERT_TRUE(second.send(b.substr(50) + kMarker));
  ASSERT_TRUE(first.send(a.substr(100) + kMarker));
  ASSERT_TRUE(waitForClients(2));
  EXPECT_EQ(dir.read("DataStore/127.0.0.2.dat"), a + "\r\n");
  EXPECT_EQ(dir.read("DataStore/127.0.0.3.dat"), b + "\r\n");
  EXPECT_EQ(rowIps(*core), (std::vector<QString>{"127.0.0.3", "127.0.0.2"}));
  // Closing out of order still counts the connections really open.
  first.finish();
  ASSERT_TRUE(waitUntil([&] { return core->intake().openConnections() == 1; }));
  EXPECT_EQ(core->activity(), "1 Connections");
  second.finish();
  ASSERT_TRUE(waitIdle());
  EXPECT_EQ(core->activity(), "Idle");
}

TEST_F(IntakeTest, OversizedUploadIsCutOffOthersGoOn) {
  IntakeLimits limits;
  limits.perConnection = 4096;
  startServer(limits);
  Uploader big("127.0.0.8", port);
  Uploader good("127.0.0.9", port);
  ASSERT_TRUE(waitUntil([&] { return core->intake().openConnections() == 2; }));
  big.send(std::string(3000, 'a'));
  big.send(std::string(3000, 'b'));
  ASSERT_TRUE(waitUntil([&] { return big.socket().state() == QAbstractSocket::UnconnectedState; }));
  const auto reports = reportsAt(kWhereDataArrival);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("127.0.0.8"), std::string::npos);
  EXPECT_EQ(core->intake().openConnections(), 1);
  const std::string upload = storedForm(sampleRecord(9, "127.0.0.9", "x", 0, 0));
  ASSERT_LT(upload.size(), 4096u);
  ASSERT_TRUE(good.send(upload + kMarker));
  ASSERT_TRUE(waitForClients(1));
  EXPECT_FALSE(dir.exists("DataStore/127.0.0.8.dat"));
}

TEST_F(IntakeTest, TotalOfAllBuffersIsBounded) {
  IntakeLimits limits;
  limits.perConnection = 4096;
  limits.total = 5000;
  startServer(limits);
  Uploader one("127.0.0.8", port);
  Uploader two("127.0.0.9", port);
  ASSERT_TRUE(one.send(std::string(3000, 'a')));
  ASSERT_TRUE(waitUntil([&] { return core->intake().totalBuffered() == 3000; }));
  // A piece as large as the one held: the newcomer is dropped.
  two.send(std::string(3000, 'b'));
  ASSERT_TRUE(waitUntil([&] { return two.socket().state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(reportsAt(kWhereDataArrival).size(), 1u);
  EXPECT_EQ(core->intake().totalBuffered(), 3000u);
  // A smaller one: the connection holding the most makes room for it.
  Uploader three("127.0.0.10", port);
  three.send(std::string(2500, 'c'));
  ASSERT_TRUE(waitUntil([&] { return one.socket().state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(reportsAt(kWhereDataArrival).size(), 2u);
  EXPECT_TRUE(waitUntil([&] { return core->intake().totalBuffered() == 2500u; }));
  EXPECT_EQ(three.socket().state(), QAbstractSocket::ConnectedState);
}

TEST_F(IntakeTest, BufferOfAClosedConnectionIsDropped) {
  startServer();
  {
    Uploader partial("127.0.0.1", port);
    ASSERT_TRUE(partial.send("stale bytes that never got their marker"));
    ASSERT_TRUE(waitUntil([&] { return core->intake().totalBuffered() > 0; }));
    partial.finish();
    ASSERT_TRUE(waitIdle());
  }
  EXPECT_EQ(core->intake().totalBuffered(), 0u);
  const std::string upload = storedForm(sampleRecord(1, "127.0.0.1"));
  Uploader agent("127.0.0.1", port);
  ASSERT_TRUE(agent.send(upload + kMarker));
  ASSERT_TRUE(waitForClients(1));
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), upload + "\r\n");
  EXPECT_TRUE(reportsAt(kWhereDataArrival).empty());
}

TEST_F(IntakeTest, UploadEndingWithTheCloseIsStored) {
  startServer();
  const std::string upload = storedForm(sampleRecord(1, "127.0.0.1"));
  Uploader agent("127.0.0.1", port);
  agent.socket().write((upload + kMarker).data(), static_cast<qint64>(upload.size() + kMarker.size()));
  agent.finish();
  ASSERT_TRUE(waitForClients(1));
  ASSERT_TRUE(waitIdle());
  EXPECT_EQ(dir.read("DataStore/127.0.0.1.dat"), upload + "\r\n");
}

TEST_F(IntakeTest, IdleConnectionIsClosedWhenATimeOutIsSet) {
  IntakeLimits limits;
  limits.idleTimeoutMs = 300;
  startServer(limits);
  Uploader quiet("127.0.0.6", port);
  ASSERT_TRUE(quiet.send("partial"));
  ASSERT_TRUE(waitUntil([&] { return quiet.socket().state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(core->intake().openConnections(), 0);
  EXPECT_EQ(core->intake().totalBuffered(), 0u);
  EXPECT_EQ(core->activity(), "Idle");
}

}  // namespace
}  // namespace quorvane
