// A command's message on Linux: login records, the texts of a terminal
// broadcast and of a desktop notification, writing to a pseudo-terminal,
// notifications on a private session bus with a stand-in service (and with
// none, a silent one, a bus that never speaks), and the messenger's
// children on the event loop with their deadline.
#include "platform/linux/LinuxUserMessage.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <utmp.h>

#include <asio.hpp>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "common/ScratchFolders.h"
#include "common/Text8.h"
#include "platform/linux/PrivateBusTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const fs::path kStandIn = fs::path(QUORVANE_BINARY_DIR) / "bin" / "quorvane-notify-standin";
const std::string kGruesse1252 = "Gr\xFC\xDF" "e";
const std::string kGruesseUtf8 = "Gr\xC3\xBC\xC3\x9F" "e";

fs::path scratch(const std::string& name) { return quorvane::testing::scratchFolder("qv-usermsg", name); }

// ---- login records -------------------------------------------------------------

struct Rec {
  short type;
  std::string user, line;
};

std::string utmpBytes(const std::vector<Rec>& recs) {
  std::string bytes;
  for (const Rec& r : recs) {
    struct utmp u;
    std::memset(&u, 0, sizeof u);
    u.ut_type = r.type;
    std::memcpy(u.ut_user, r.user.data(), std::min(r.user.size(), sizeof u.ut_user));
    std::memcpy(u.ut_line, r.line.data(), std::min(r.line.size(), sizeof u.ut_line));
    bytes.append(reinterpret_cast<const char*>(&u), sizeof u);
  }
  return bytes;
}

TEST(LoginRecords, UserProcessesWithATerminalFromAFixtureFile) {
  const std::string longLine(sizeof(utmp::ut_line), 'p');  // fills the field, no NUL
  const struct {
    const char* name;
    std::vector<Rec> recs;
    std::size_t cut;  // bytes cut off the end
    std::vector<std::pair<std::string, std::string>> expected;
  } rows[] = {
      {"an empty file", {}, 0, {}},
      {"two users in file order", {{USER_PROCESS, "bob", "pts/4"}, {USER_PROCESS, "alice", "tty1"}}, 0,
       {{"bob", "pts/4"}, {"alice", "tty1"}}},
      {"other record types left out",
       {{BOOT_TIME, "reboot", "~"}, {LOGIN_PROCESS, "LOGIN", "tty2"}, {DEAD_PROCESS, "", "pts/9"},
        {INIT_PROCESS, "", "tty3"}, {USER_PROCESS, "carol", "pts/0"}},
       0, {{"carol", "pts/0"}}},
      {"a user process without a terminal", {{USER_PROCESS, "dan", ""}}, 0, {}},
      {"a field without its NUL ends at its size", {{USER_PROCESS, "erin", longLine}}, 0, {{"erin", longLine}}},
      {"a cut-off last record is left out", {{USER_PROCESS, "fay", "pts/1"}, {USER_PROCESS, "gus", "pts/2"}}, 1,
       {{"fay", "pts/1"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path file = scratch("utmp") / "utmp";
    std::string bytes = utmpBytes(row.recs);
    bytes.resize(bytes.size() - row.cut);
    std::ofstream(file, std::ios::binary) << bytes;
    std::ifstream in(file, std::ios::binary);
    const std::string read((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::pair<std::string, std::string>> got;
    for (const TerminalLogin& l : parseUtmp(read)) got.emplace_back(l.user, l.line);
    EXPECT_EQ(got, row.expected);
  }
}

TEST(TerminalDevice, OnlyPlainTerminalNamesBelowTheDeviceFolder) {
  const struct {
    const char* name;
    const char* root;
    const char* line;
    std::optional<std::string> expected;
  } rows[] = {
      {"a pseudo-terminal", "/dev", "pts/3", "/dev/pts/3"},
      {"a console", "/dev/", "tty1", "/dev/tty1"},
      {"a serial line", "/dev", "ttyS0", "/dev/ttyS0"},
      {"climbing out", "/dev", "../etc/passwd", std::nullopt},
      {"climbing out further in", "/dev", "pts/../../etc/shadow", std::nullopt},
      {"a dot part", "/dev", "pts/./3", std::nullopt},
      {"absolute", "/dev", "/etc/passwd", std::nullopt},
      {"an X display", "/dev", ":0", std::nullopt},
      {"empty", "/dev", "", std::nullopt},
      {"an empty part", "/dev", "pts//3", std::nullopt},
      {"a trailing slash", "/dev", "pts/", std::nullopt},
      {"a blank", "/dev", "tty1 ", std::nullopt},
      {"a newline", "/dev", "tty1\n", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(terminalDevice(row.root, row.line), row.expected);
  }
}

// ---- texts ------------------------------------------------------------------------

const std::string kBanner = "\r\n\aBroadcast message from Quorvane Pro@pc7 (Wed Dec  9 04:00:00 2026):\r\n\r\n";

TEST(TerminalMessage, TextInUtf8ThatCannotDriveTheTerminal) {
  const struct {
    const char* name;
    std::string text;
    std::string body;  // after the banner, before the closing empty line
  } rows[] = {
      {"cp1252 letters in UTF-8", kGruesse1252, kGruesseUtf8},
      {"the euro sign", "5 \x80", "5 \xE2\x82\xAC"},
      {"CR LF, lone LF and lone CR end lines", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd"},
      {"an escape sequence is shown, not obeyed", "\x1B[2J\x1B]0;owned\x07", "^[[2J^[]0;owned^G"},
      {"NUL and DEL", std::string("x\0y\x7Fz", 5), "x^@y^?z"},
      {"undefined bytes (C1 controls once in UTF-8)", "\x81\x8D\x8F\x90\x9D", "?????"},
      {"a tab stays", "a\tb", "a\tb"},
      {"empty", "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(terminalMessage(row.text, "Quorvane Pro@pc7", "Wed Dec  9 04:00:00 2026"),
              kBanner + row.body + "\r\n\r\n");
  }
}

TEST(NotificationBody, PlainAndMarkup) {
  const struct {
    const char* name;
    std::string text;
    bool markup;
    std::string expected;
  } rows[] = {
      {"cp1252 letters in UTF-8", kGruesse1252, false, kGruesseUtf8},
      {"lines end in LF", "a\r\nb\rc\nd", false, "a\nb\nc\nd"},
      {"markup characters as they are", "<b>x</b> & y", false, "<b>x</b> & y"},
      {"markup characters escaped for a markup service", "<b>x</b> & y", true, "&lt;b&gt;x&lt;/b&gt; &amp; y"},
      {"NUL, other controls and undefined bytes", std::string("a\0b\x1B\x9D\tc", 7), false, "a?b??\tc"},
      {"empty", "", false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(notificationBody(row.text, row.markup), row.expected);
  }
}

// Every printable Windows-1252 character comes back from the body unchanged.
TEST(NotificationBody, EveryPrintableByteRoundTrips) {
  std::string printable;
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    printable.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(utf8ToWindows1252(notificationBody(printable, false)), printable);
}

// ---- terminals ------------------------------------------------------------------------

using quorvane::testing::Pty;

TEST(WriteTerminals, TerminalsTakeTheTextOtherFilesAreLeftAlone) {
  Pty pty;
  ASSERT_FALSE(pty.device.empty());
  const fs::path dir = scratch("ttys");
  const fs::path regular = dir / "tty9";
  std::ofstream(regular) << "untouched";
  const std::string text = terminalMessage(kGruesse1252, "Quorvane Pro@pc", "now");
  TerminalWrite w;
  std::thread writer([&] { w = writeTerminals({pty.device, regular, "/dev/null", (dir / "missing").string()}, text, 2s); });
  const std::string got = pty.read(text.size());
  writer.join();
  EXPECT_EQ(got, text);
  EXPECT_EQ(w.written, (std::vector<std::string>{pty.device}));
  EXPECT_EQ(w.failed, (std::vector<std::string>{regular.string(), "/dev/null", (dir / "missing").string()}));
  std::ifstream in(regular);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "untouched");
}

TEST(WriteTerminals, LongTextsWholeOrBoundedInTime) {
  const std::string big(65535 * 3, 'x');
  {
    SCOPED_TRACE("read while written: arrives whole");
    Pty pty;
    TerminalWrite w;
    std::thread writer([&] { w = writeTerminals({pty.device}, big, 5s); });
    EXPECT_EQ(pty.read(big.size()).size(), big.size());
    writer.join();
    EXPECT_EQ(w.written.size(), 1u);
  }
  {
    SCOPED_TRACE("nobody reads: given up at the deadline");
    Pty pty;
    const auto started = Clock::now();
    const TerminalWrite w = writeTerminals({pty.device}, big, 300ms);
    const auto took = Clock::now() - started;
    EXPECT_EQ(w.failed, (std::vector<std::string>{pty.device}));
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 2s);
  }
}

// ---- notifications on a private bus ---------------------------------------------------------

// A unix socket that takes connections into its backlog and never speaks.
struct SilentSocket {
  int fd = -1;
  fs::path path;
  explicit SilentSocket(const fs::path& p) : path(p) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, p.c_str(), sizeof a.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ~SilentSocket() {
    if (fd >= 0) ::close(fd);
  }
  std::string address() const { return "unix:path=" + path.string(); }
};

class PrivateBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kStandIn)) GTEST_SKIP() << "quorvane-notify-standin is not built";
    dir = scratch("bus");
    bus = std::make_unique<quorvane::testing::PrivateBus>(dir);
    ASSERT_TRUE(bus->ready()) << "dbus-daemon did not start (tools/install-deps.sh test installs it)";
  }
  std::unique_ptr<quorvane::testing::NotificationStandIn> standIn(const std::vector<std::string>& flags = {}) {
    auto s = std::make_unique<quorvane::testing::NotificationStandIn>(kStandIn, bus->address(),
                                                                       dir / ("calls" + std::to_string(n++)), flags);
    EXPECT_TRUE(s->ready());
    return s;
  }
  fs::path dir;
  std::unique_ptr<quorvane::testing::PrivateBus> bus;
  int n = 0;
};

TEST_F(PrivateBusTest, TheServiceGetsTheTextInUtf8) {
  std::string every;
  for (int b = 0; b < 256; ++b) every.push_back(static_cast<char>(b));
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> flags;
    std::string body;
  } rows[] = {
      {"Gruesse from cp1252", kGruesse1252, {}, kGruesseUtf8},
      {"every cp1252 byte", every, {}, notificationBody(every, false)},
      {"markup escaped for a markup service", "1 < 2 & <i>", {"--markup"}, "1 &lt; 2 &amp; &lt;i&gt;"},
      {"empty", "", {}, ""},
      {"65,535 bytes", std::string(65535, '\xE9'), {}, notificationBody(std::string(65535, '\xE9'), false)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto service = standIn(row.flags);
    EXPECT_EQ(notifyOnBus(bus->address(), row.text, 2s), NotifyResult::Delivered);
    const auto calls = service->calls();
    ASSERT_EQ(calls.size(), 1u);
    const auto j = nlohmann::json::parse(calls[0]);
    EXPECT_EQ(j["app"], kNotifyAppName);
    EXPECT_EQ(j["summary"], kNotifySummary);
    EXPECT_EQ(j["icon"], kNotifyIcon);
    EXPECT_EQ(j["expire"], 0);
    EXPECT_EQ(j["body"].get<std::string>(), row.body);
  }
}

TEST_F(PrivateBusTest, FailuresAreNamedAndBounded) {
  SilentSocket silentSocket(dir / "silent");
  ASSERT_GE(silentSocket.fd, 0);
  auto silentService = std::make_unique<quorvane::testing::PrivateBus>(scratch("bus2"));
  ASSERT_TRUE(silentService->ready());
  quorvane::testing::NotificationStandIn hung(kStandIn, silentService->address(), dir / "hung", {"--silent"});
  ASSERT_TRUE(hung.ready());
  const auto timeout = 300ms;
  const struct {
    const char* name;
    std::string address;
    NotifyResult expected;
    bool waitsForTheTimeout;
  } rows[] = {
      {"no notification service on the bus", bus->address(), NotifyResult::NoService, false},
      {"a service that never answers", silentService->address(), NotifyResult::NoAnswer, true},
      {"a bus that never speaks", silentSocket.address(), NotifyResult::NoAnswer, true},
      {"no bus at all", "unix:path=" + (dir / "none").string(), NotifyResult::NoBus, false},
      {"an address that is none", "carrier-pigeon:coop=1", NotifyResult::NoBus, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto started = Clock::now();
    EXPECT_EQ(notifyOnBus(row.address, "hello", timeout), row.expected);
    const auto took = Clock::now() - started;
    EXPECT_LT(took, 2 * timeout + 500ms);
    if (row.waitsForTheTimeout) {
      EXPECT_GE(took, timeout - 10ms);
    }
  }
}

// The messenger on the event loop: tell returns at once, every receiver is
// served by a child, the problems come back once, a hung child is killed.
TEST_F(PrivateBusTest, TheMessengerReachesBusesAndTerminalsWithoutBlockingTheLoop) {
  auto service = standIn();
  SilentSocket silentSocket(dir / "never");
  ASSERT_GE(silentSocket.fd, 0);
  Pty pty;
  ASSERT_EQ(pty.device.rfind("/dev/", 0), 0u);
  const fs::path utmp = dir / "utmp";
  std::ofstream(utmp, std::ios::binary) << utmpBytes({{USER_PROCESS, "alice", pty.device.substr(5)},
                                                      {USER_PROCESS, "mallory", "../etc/passwd"}});
  MessengerOptions o;
  o.busAddresses = std::vector<std::string>{bus->address(), silentSocket.address(),
                                            "unix:path=" + (dir / "gone").string()};
  o.utmpFile = utmp.string();
  o.callTimeout = 5s;   // longer than the deadline: the child is killed
  o.deadline = 600ms;
  asio::io_context io;
  auto messenger = makeLinuxUserMessenger(io, o);
  std::optional<std::vector<std::string>> problems;
  const auto started = Clock::now();
  messenger->tell(kGruesse1252, [&](std::vector<std::string> p) { problems = std::move(p); });
  EXPECT_LT(Clock::now() - started, 300ms) << "tell must not wait for its receivers";
  std::string got;
  std::thread reader([&] { got = pty.read(1, 5s); got += pty.read(200, 300ms); });
  const auto end = Clock::now() + 10s;
  while (!problems && Clock::now() < end) io.run_one_for(50ms);
  reader.join();
  ASSERT_TRUE(problems.has_value());
  EXPECT_GE(Clock::now() - started, 550ms);
  ASSERT_EQ(problems->size(), 2u);
  std::sort(problems->begin(), problems->end());  // in the order the children ended
  const std::string gone = "The message did not reach the desktop of unix:path=" + (dir / "gone").string() +
                           ": its session bus cannot be reached";
  const std::string never = "The message did not reach the desktop of " + silentSocket.address() +
                            ": its session bus or notification service did not answer within 5000 ms";
  EXPECT_EQ(*problems, (std::vector<std::string>{std::min(gone, never), std::max(gone, never)}));
  ASSERT_EQ(service->calls().size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(service->calls()[0])["body"], kGruesseUtf8);
  EXPECT_NE(got.find("Broadcast message from Quorvane Pro@"), std::string::npos);
  EXPECT_NE(got.find(kGruesseUtf8), std::string::npos);
}

TEST_F(PrivateBusTest, MessagesBeyondTheDeliveriesUnderWayOnlyReachTheMessageBox) {
  SilentSocket silentSocket(dir / "hang");
  ASSERT_GE(silentSocket.fd, 0);
  MessengerOptions o;
  o.busAddresses = std::vector<std::string>{silentSocket.address()};
  o.utmpFile = (dir / "no-logins").string();
  o.deadline = 400ms;
  o.maxDeliveries = 1;
  asio::io_context io;
  auto messenger = makeLinuxUserMessenger(io, o);
  std::vector<std::vector<std::string>> done;
  for (int i = 0; i < 2; ++i) messenger->tell("x", [&](std::vector<std::string> p) { done.push_back(std::move(p)); });
  const auto end = Clock::now() + 10s;
  while (done.size() < 2 && Clock::now() < end) io.run_one_for(50ms);
  ASSERT_EQ(done.size(), 2u);
  // The second finishes first, at once, with its own problem.
  ASSERT_EQ(done[0].size(), 1u);
  EXPECT_NE(done[0][0].find("still being delivered"), std::string::npos) << done[0][0];
  ASSERT_EQ(done[1].size(), 1u);
  EXPECT_NE(done[1][0].find("did not answer"), std::string::npos) << done[1][0];
}

// Runs deliverToBus in a child (it changes the process's identity).
NotifyResult deliverInChild(const SessionBus& bus) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(static_cast<int>(deliverToBus(bus, "hello", 1s)));
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? static_cast<NotifyResult>(WEXITSTATUS(status)) : NotifyResult::NoAnswer;
}

// A session bus admits only its owner: root gets in by taking the owner's
// identity, and not as itself.
TEST(ActAsOwner, RootReachesAUsersBusOnlyAsThatUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root (the agent's service runs as root)";
  const uid_t nobody = 65534;
  const fs::path dir = scratch("owned");
  fs::permissions(dir, fs::perms::all);  // the daemon, as nobody, makes its socket here
  quorvane::testing::PrivateBus bus(dir, "nobody");
  ASSERT_TRUE(bus.ready());
  const struct {
    const char* name;
    SessionBus target;
    NotifyResult expected;
  } rows[] = {
      // Admitted: nothing serves notifications there, which the bus itself says.
      {"as the owner", {bus.address(), nobody, nobody, true}, NotifyResult::NoService},
      {"as root itself", {bus.address(), nobody, nobody, false}, NotifyResult::NoBus},
      {"as another user", {bus.address(), 65533, 65533, true}, NotifyResult::NoBus},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(deliverInChild(row.target), row.expected);
  }
}

TEST(ActAsOwner, OnlyRootTakesAnotherIdentity) {
  if (::geteuid() == 0) GTEST_SKIP() << "runs as root";
  EXPECT_EQ(deliverInChild({"unix:path=/nonexistent", ::geteuid() + 1, ::getegid(), true}), NotifyResult::NotAsUser);
}

TEST(Messenger, NoReceiversIsNoProblem) {
  const fs::path dir = scratch("none");
  MessengerOptions o;
  o.busAddresses = std::vector<std::string>{};
  o.utmpFile = (dir / "empty").string();
  asio::io_context io;
  auto messenger = makeLinuxUserMessenger(io, o);
  std::optional<std::vector<std::string>> problems;
  messenger->tell("hello", [&](std::vector<std::string> p) { problems = std::move(p); });
  EXPECT_FALSE(problems.has_value()) << "done comes from the loop, not from inside tell";
  io.run_for(1s);
  ASSERT_TRUE(problems.has_value());
  EXPECT_TRUE(problems->empty());
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
