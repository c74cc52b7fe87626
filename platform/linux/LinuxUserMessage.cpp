// The Linux user messenger: desktop notifications over sd-bus, terminal
// broadcasts, both from short-lived child processes (see LinuxUserMessage.h).
#include "platform/linux/LinuxUserMessage.h"

#include <fcntl.h>
#include <grp.h>
#include <paths.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-login.h>
#include <unistd.h>

#include <asio.hpp>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <set>
#include <sstream>

#include "common/WholeFile.h"

namespace quorvane::platform::linux_backend {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kObject = "/org/freedesktop/Notifications";

std::uint64_t microseconds(Clock::duration d) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
  return us > 0 ? static_cast<std::uint64_t>(us) : 0;
}

// ---- terminals ---------------------------------------------------------------

struct TerminalOut {
  std::string device;
  int fd = -1;
  std::size_t sent = 0;
};

// Opens a device for the broadcast: a character device that is a terminal,
// opened without waiting, without becoming our controlling terminal.
int openTerminal(const std::string& device) {
  const int fd = ::open(device.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Writes what each terminal takes now; a terminal that took the whole text
// or failed for good is closed and noted in `result`.
void writeReady(std::vector<TerminalOut>& outs, std::string_view bytes, TerminalWrite& result) {
  for (TerminalOut& o : outs) {
    if (o.fd < 0) continue;
    const ssize_t n = ::write(o.fd, bytes.data() + o.sent, bytes.size() - o.sent);
    if (n > 0) o.sent += static_cast<std::size_t>(n);
    const bool blocked = n < 0 && (errno == EAGAIN || errno == EINTR);
    if (o.sent == bytes.size() || (n < 0 && !blocked)) {
      (o.sent == bytes.size() ? result.written : result.failed).push_back(o.device);
      ::close(o.fd);
      o.fd = -1;
    }
  }
}

// ---- sd-bus -------------------------------------------------------------------

struct CallState {
  bool done = false;
  bool wantCapabilities = false;
  std::string errorName;
  bool markup = false;
};

int onReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
  auto* st = static_cast<CallState*>(userdata);
  st->done = true;
  if (const sd_bus_error* e = sd_bus_message_get_error(m)) {
    st->errorName = e->name ? e->name : "error";
    return 0;
  }
  char** caps = nullptr;
  if (st->wantCapabilities && sd_bus_message_read_strv(m, &caps) >= 0 && caps) {
    for (char** c = caps; *c; ++c) {
      st->markup = st->markup || std::string_view(*c) == "body-markup";
      std::free(*c);
    }
    std::free(caps);
  }
  return 0;
}

// Closes without flushing: a flush waits (up to sd-bus's own 90 s) for a
// bus that never finished authenticating. Every answer we wait for has come
// by then, or will never be waited for.
struct BusCloser {
  void operator()(sd_bus* b) const { sd_bus_close_unref(b); }
};
using BusPtr = std::unique_ptr<sd_bus, BusCloser>;

// Runs the bus until `st` has its answer or `deadline` passes.
NotifyResult pump(sd_bus* bus, const CallState& st, Clock::time_point deadline) {
  while (!st.done) {
    const int r = sd_bus_process(bus, nullptr);
    if (st.done) break;
    if (r < 0) return NotifyResult::NoBus;
    if (r > 0) continue;
    const auto now = Clock::now();
    if (now >= deadline) return NotifyResult::NoAnswer;
    const int w = sd_bus_wait(bus, microseconds(deadline - now));
    if (w < 0 && w != -EINTR) return NotifyResult::NoBus;
  }
  return NotifyResult::Delivered;
}

// The outcome of an answered call that carried an error.
NotifyResult fromError(sd_bus* bus, const std::string& name) {
  if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner") {
    return NotifyResult::NoService;
  }
  if (sd_bus_is_open(bus) <= 0) return NotifyResult::NoBus;
  if (name == "org.freedesktop.DBus.Error.NoReply" || name == "org.freedesktop.DBus.Error.Timeout") {
    return NotifyResult::NoAnswer;
  }
  return NotifyResult::Refused;
}

// Sends one call to the notification service and waits for its answer.
NotifyResult call(sd_bus* bus, sd_bus_message* m, CallState& st, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  if (sd_bus_call_async(bus, nullptr, m, onReply, &st, microseconds(timeout)) < 0) return NotifyResult::NoBus;
  const NotifyResult r = pump(bus, st, deadline);
  if (r != NotifyResult::Delivered) return r;
  return st.errorName.empty() ? NotifyResult::Delivered : fromError(bus, st.errorName);
}

struct MessageUnref {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

MessagePtr newCall(sd_bus* bus, const char* member) {
  sd_bus_message* m = nullptr;
  if (sd_bus_message_new_method_call(bus, &m, kService, kObject, kService, member) < 0) return nullptr;
  return MessagePtr(m);
}

// ---- child processes ------------------------------------------------------------

// The state a child starts from: none of the agent's descriptors (its
// listening socket must not outlive it in a child), default signals.
void prepareChild() {
  if (::close_range(3, ~0U, 0) != 0) {
    const long limit = std::min<long>(::sysconf(_SC_OPEN_MAX), 65536);
    for (int fd = 3; fd < limit; ++fd) ::close(fd);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) ::signal(s, SIG_DFL);
  ::signal(SIGPIPE, SIG_IGN);
}

// Runs `work` in a child process; its result is the child's exit status.
template <class Work>
pid_t spawn(Work&& work) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The child never returns into the agent's code, whatever happens.
  int status = 1;
  try {
    prepareChild();
    status = work();
  } catch (...) {
  }
  ::_exit(status);
}

// Takes the bus owner's identity (only ever downwards, from root).
bool actAs(uid_t uid, gid_t gid) {
  if (::geteuid() == uid) return true;
  if (::geteuid() != 0) return false;
  if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0) return false;
  uid_t r, e, s;
  return ::getresuid(&r, &e, &s) == 0 && r == uid && e == uid && s == uid;
}

// ---- discovery ----------------------------------------------------------------

bool graphical(const char* type) {
  const std::string_view t(type);
  return t == "x11" || t == "wayland" || t == "mir";
}

std::string busOwner(const SessionBus& b) {
  return b.actAsOwner ? "user " + std::to_string(b.uid) + " (" + b.address + ")" : b.address;
}

// The bus of a graphical session's user, when it is there and theirs.
void addUserBus(uid_t uid, std::set<uid_t>& seen, Discovery& d) {
  if (!seen.insert(uid).second) return;
  const std::string path = "/run/user/" + std::to_string(uid) + "/bus";
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != uid) {
    d.problems.push_back("The message cannot reach the desktop of user " + std::to_string(uid) +
                         ": its session has no bus at " + path);
    return;
  }
  d.buses.push_back({"unix:path=" + path, uid, st.st_gid, true});
}

// Graphical sessions' buses and every session's terminal, from logind.
void discoverSessions(Discovery& d, std::vector<std::string>& lines) {
  char** sessions = nullptr;
  const int n = sd_get_sessions(&sessions);
  std::set<uid_t> seen;
  for (int i = 0; i < n; ++i) {
    char* type = nullptr;
    uid_t uid = 0;
    if (sd_session_get_type(sessions[i], &type) >= 0 && graphical(type) &&
        sd_session_get_uid(sessions[i], &uid) >= 0) {
      addUserBus(uid, seen, d);
    }
    std::free(type);
    char* tty = nullptr;
    if (sd_session_get_tty(sessions[i], &tty) >= 0 && tty) lines.emplace_back(tty);
    std::free(tty);
    std::free(sessions[i]);
  }
  std::free(sessions);
}

// The login records; none when the file is missing or beyond reason (a
// record is 384 bytes: 16 MiB is some 40,000 logins).
std::string readLogins(const std::string& path) {
  auto bytes = readWholeFile(path, 16u << 20);
  return bytes ? std::move(*bytes) : std::string();
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

std::string localTimeNow() {
  const std::time_t now = std::time(nullptr);
  struct tm t {};
  char buf[64] = {};
  if (!::localtime_r(&now, &t) || std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &t) == 0) return "now";
  return buf;
}

}  // namespace

// ---- public parts -------------------------------------------------------------------

TerminalWrite writeTerminals(const std::vector<std::string>& devices, std::string_view bytes,
                             std::chrono::milliseconds deadline) {
  TerminalWrite result;
  std::vector<TerminalOut> outs;
  for (const std::string& d : devices) {
    const int fd = openTerminal(d);
    if (fd < 0) result.failed.push_back(d);
    else outs.push_back({d, fd, 0});
  }
  const auto end = Clock::now() + deadline;
  writeReady(outs, bytes, result);
  for (;;) {
    std::vector<pollfd> waiting;
    for (const TerminalOut& o : outs)
      if (o.fd >= 0) waiting.push_back({o.fd, POLLOUT, 0});
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (waiting.empty() || left <= 0) break;
    ::poll(waiting.data(), waiting.size(), static_cast<int>(std::min<long long>(left, 1000)));
    writeReady(outs, bytes, result);
  }
  for (TerminalOut& o : outs) {
    if (o.fd < 0) continue;
    result.failed.push_back(o.device);
    ::close(o.fd);
  }
  return result;
}

std::string describe(NotifyResult result, std::chrono::milliseconds callTimeout) {
  switch (result) {
    case NotifyResult::Delivered: return "delivered";
    case NotifyResult::NoBus: return "its session bus cannot be reached";
    case NotifyResult::NoService: return "no notification service (org.freedesktop.Notifications) runs on its bus";
    case NotifyResult::NoAnswer:
      return "its session bus or notification service did not answer within " +
             std::to_string(callTimeout.count()) + " ms";
    case NotifyResult::Refused: return "the notification service refused the message";
    case NotifyResult::NotAsUser: return "the agent cannot act as that user (it does not run as root)";
  }
  return "unknown outcome";
}

NotifyResult notifyOnBus(const std::string& address, std::string_view text8, std::chrono::milliseconds callTimeout) {
  CallState caps, notify;  // outlive the bus: its pending calls point at them
  caps.wantCapabilities = true;
  sd_bus* raw = nullptr;
  if (sd_bus_new(&raw) < 0) return NotifyResult::NoBus;
  BusPtr bus(raw);
  if (sd_bus_set_address(raw, address.c_str()) < 0 || sd_bus_set_bus_client(raw, 1) < 0 || sd_bus_start(raw) < 0) {
    return NotifyResult::NoBus;
  }
  MessagePtr ask = newCall(raw, "GetCapabilities");
  if (!ask) return NotifyResult::NoBus;
  const NotifyResult asked = call(raw, ask.get(), caps, callTimeout);
  // A service without GetCapabilities still shows plain text.
  if (asked != NotifyResult::Delivered && asked != NotifyResult::Refused) return asked;

  MessagePtr m = newCall(raw, "Notify");
  const std::string body = notificationBody(text8, caps.markup);
  if (!m || sd_bus_message_append(m.get(), "susssas", kNotifyAppName, std::uint32_t{0}, kNotifyIcon, kNotifySummary,
                                  body.c_str(), 0) < 0 ||
      sd_bus_message_append(m.get(), "a{sv}", 1, "urgency", "y", std::uint8_t{1}) < 0 ||
      sd_bus_message_append(m.get(), "i", std::int32_t{0}) < 0) {
    return NotifyResult::Refused;
  }
  return call(raw, m.get(), notify, callTimeout);
}

NotifyResult deliverToBus(const SessionBus& bus, std::string_view text8, std::chrono::milliseconds timeout) {
  if (bus.actAsOwner && !actAs(bus.uid, bus.gid)) return NotifyResult::NotAsUser;
  return notifyOnBus(bus.address, text8, timeout);
}

MessengerOptions messengerOptionsFromEnvironment() {
  MessengerOptions o;
  if (const char* buses = std::getenv("QUORVANE_MESSAGE_BUSES")) {
    std::istringstream in(buses);
    o.busAddresses.emplace(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
  }
  if (const char* utmp = std::getenv("QUORVANE_MESSAGE_UTMP")) o.utmpFile = utmp;
  return o;
}

Discovery discoverReceivers(const MessengerOptions& options) {
  Discovery d;
  std::vector<std::string> lines;
  if (options.busAddresses) {
    for (const std::string& a : *options.busAddresses) d.buses.push_back({a, ::geteuid(), ::getegid(), false});
  }
  // Given buses mean a test: the system's terminals only when no seam is set.
  const bool systemLogins = options.utmpFile.empty() && !options.busAddresses;
  if (systemLogins) discoverSessions(d, lines);
  if (systemLogins || !options.utmpFile.empty()) {
    for (const TerminalLogin& l : parseUtmp(readLogins(systemLogins ? _PATH_UTMP : options.utmpFile))) {
      lines.push_back(l.line);
    }
  }
  std::set<std::string> seen;
  for (const std::string& line : lines) {
    const auto device = terminalDevice(options.devRoot, line);
    if (device && seen.insert(*device).second) d.terminals.push_back(*device);
  }
  return d;
}

// ---- the messenger ---------------------------------------------------------------

namespace {

class LinuxUserMessenger final : public UserMessenger {
 public:
  LinuxUserMessenger(asio::io_context& io, MessengerOptions options) : io_(io), o_(std::move(options)) {}
  ~LinuxUserMessenger() override {
    for (auto& d : deliveries_) reap(*d, true);
  }
  void tell(std::string_view text, Done done) override;

 private:
  struct Child {
    pid_t pid;
    std::string receiver;  // empty: the terminals
  };
  struct Delivery {
    std::vector<Child> children;
    std::vector<std::string> problems;
    Done done;
    Clock::time_point killAt;
    asio::steady_timer timer;
    explicit Delivery(asio::io_context& io) : timer(io) {}
  };

  void start(Delivery& d, const Discovery& found, const std::string& text8);
  void watch(const std::shared_ptr<Delivery>& d);
  void reap(Delivery& d, bool kill);
  void finish(const std::shared_ptr<Delivery>& d);

  asio::io_context& io_;
  MessengerOptions o_;
  std::vector<std::shared_ptr<Delivery>> deliveries_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

void LinuxUserMessenger::tell(std::string_view text, Done done) {
  auto d = std::make_shared<Delivery>(io_);
  d->done = std::move(done);
  if (deliveries_.size() >= o_.maxDeliveries) {
    d->problems.push_back("The message reached no desktop or terminal: " + std::to_string(deliveries_.size()) +
                          " earlier messages are still being delivered");
  } else {
    const Discovery found = discoverReceivers(o_);
    d->problems = found.problems;
    start(*d, found, std::string(text));
  }
  deliveries_.push_back(d);
  if (d->children.empty()) {
    asio::post(io_, [this, d, alive = std::weak_ptr<bool>(alive_)] {
      if (!alive.expired()) finish(d);
    });
    return;
  }
  d->killAt = Clock::now() + o_.deadline;
  watch(d);
}

void LinuxUserMessenger::start(Delivery& d, const Discovery& found, const std::string& text8) {
  for (const SessionBus& bus : found.buses) {
    const pid_t pid = spawn([&] { return static_cast<int>(deliverToBus(bus, text8, o_.callTimeout)); });
    if (pid > 0) d.children.push_back({pid, busOwner(bus)});
    else d.problems.push_back("The message cannot reach the desktop of " + busOwner(bus) + ": no process to deliver it");
  }
  if (found.terminals.empty()) return;
  const std::string banner = terminalMessage(text8, std::string(kNotifyAppName) + "@" + hostName(), localTimeNow());
  const pid_t pid = spawn([&] { return writeTerminals(found.terminals, banner, o_.callTimeout).failed.empty() ? 0 : 1; });
  if (pid > 0) d.children.push_back({pid, ""});
}

void LinuxUserMessenger::watch(const std::shared_ptr<Delivery>& d) {
  d->timer.expires_after(std::chrono::milliseconds(20));
  d->timer.async_wait([this, w = std::weak_ptr<Delivery>(d)](const asio::error_code& ec) {
    auto d = w.lock();
    if (ec || !d) return;
    reap(*d, Clock::now() >= d->killAt);
    bool running = false;
    for (const Child& c : d->children) running = running || c.pid > 0;
    if (running) watch(d);
    else finish(d);
  });
}

// Collects the children that ended (all of them, killed, with `kill`).
// Terminals that did not take the broadcast are not reported: a terminal
// someone stopped (^S) is nothing an administrator can mend.
void LinuxUserMessenger::reap(Delivery& d, bool kill) {
  for (Child& c : d.children) {
    if (c.pid <= 0) continue;
    if (kill) ::kill(c.pid, SIGKILL);
    int status = 0;
    const pid_t r = ::waitpid(c.pid, &status, kill ? 0 : WNOHANG);
    if (r == 0) continue;
    c.pid = -1;
    if (r < 0 || c.receiver.empty()) continue;  // reaped elsewhere, or the terminals
    NotifyResult result = NotifyResult::NoAnswer;
    if (WIFEXITED(status)) result = static_cast<NotifyResult>(WEXITSTATUS(status));
    if (result == NotifyResult::Delivered) continue;
    d.problems.push_back("The message did not reach the desktop of " + c.receiver + ": " +
                         describe(result, o_.callTimeout));
  }
}

void LinuxUserMessenger::finish(const std::shared_ptr<Delivery>& d) {
  std::erase(deliveries_, d);
  if (d->done) d->done(std::move(d->problems));
}

}  // namespace

std::unique_ptr<UserMessenger> makeLinuxUserMessenger(asio::io_context& io, MessengerOptions options) {
  return std::make_unique<LinuxUserMessenger>(io, std::move(options));
}

}  // namespace quorvane::platform::linux_backend

namespace quorvane::platform {

std::unique_ptr<UserMessenger> makeNativeUserMessenger(asio::io_context& io) {
  return linux_backend::makeLinuxUserMessenger(io, linux_backend::messengerOptionsFromEnvironment());
}

}  // namespace quorvane::platform
