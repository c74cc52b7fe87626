// The intake under hostile input and hard conditions: garbage, truncated
// audits, a declared length of 2^40, a zlib bomb, a stream without end marker
// that never stops, idle connections, running out of descriptors, a full
// disk; and what a few thousand clients need (open-file limit, backlog, idle
// time-out). Good uploads sent meanwhile must be stored; bad ones reported
// and never stored over a good file. Raw client sockets from 127.0.x.y.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>
#include <random>

#include "common/ErrorReport.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerTexts.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

using testing::RecordingSink;
using testing::sampleRecord;
using testing::storedForm;
using testing::TempFolder;
using testing::waitUntil;

const std::string kMarker(kEndMarker);

// A blocking client socket from `from` to 127.0.0.1:port (loopback connects
// complete in the kernel, before the server accepts).
int rawConnect(const std::string& from, int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  ::inet_pton(AF_INET, from.c_str(), &a.sin_addr);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(s);
    return -1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(s);
    return -1;
  }
  return s;
}

bool sendAll(int s, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

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

std::string zlibOf(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 9);
  out.resize(n);
  return out;
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
    ::close(s);
  }
  // The server's side of the connection has ended (end of stream or reset).
  static bool closedByServer(int s) {
    char c;
    const ssize_t n = ::recv(s, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
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
      return core->intake().openConnections() == 0;
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
    if (name.ends_with(".dat")) EXPECT_TRUE(name == "127.0.3.1.dat" || name == "127.0.3.2.dat") << name;
  }
  upload("127.0.3.1", good + kMarker);  // and still takes good uploads
  EXPECT_EQ(dir.read("DataStore/127.0.3.1.dat"), goodFile);
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

// Status texts find their row through an index instead of a scan: it must
// answer like the scan did through appends, sorted inserts and re-sorts.
TEST(ClientRowIndex, AnswersLikeAScan) {
  testing::ensureCoreApplication();
  ClientListModel list;
  const auto scan = [&](const QString& ip) {
    for (int r = 0; r < list.rowCount(); ++r) {
      if (list.row(r).ip == ip) return r;
    }
    return -1;
  };
  const auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    for (const char* ip : {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.9", "10.0.0.1", "nobody"}) {
      EXPECT_EQ(list.rowOfIp(QString::fromLatin1(ip)), scan(QString::fromLatin1(ip))) << ip;
    }
  };
  const auto add = [&](const char* ip, const char* host) {
    ClientRow r;
    r.ip = QString::fromLatin1(ip);
    r.hostname = QString::fromLatin1(host);
    list.addRow(r);
  };
  add("127.0.0.3", "c");
  add("127.0.0.1", "a");
  check("appended");
  add("127.0.0.3", "z");  // the same address twice: the first row answers
  check("a repeated address");
  list.sortByColumn(ClientListModel::ColHostname);
  check("sorted by host name");
  add("127.0.0.2", "b");  // inserted in sort order, before others
  check("inserted in the middle");
  list.sortByColumn(ClientListModel::ColIp);
  add("127.0.0.9", "y");
  add("10.0.0.1", "x");
  check("sorted by address, then more");
}

}  // namespace
}  // namespace quorvane
