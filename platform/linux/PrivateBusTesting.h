// Test helpers for a command's message on Linux: a private session bus (its
// own dbus-daemon on a socket in a scratch folder, nothing activatable on
// it), the stand-in notification service quorvane-notify-standin on it, and
// a pseudo-terminal to broadcast to.
// Every process is ended (SIGTERM, then SIGKILL) when its object goes, and
// nothing of the machine's own buses is touched. Header-only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvane::testing {

class TestProcess {
 public:
  // Standard error goes to `errorLog` when one is given.
  explicit TestProcess(const std::vector<std::string>& argv, const std::string& errorLog = {}) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!errorLog.empty()) {
      ::posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    }
    if (::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
  }
  ~TestProcess() { stop(); }
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) != 0) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

inline bool waitForPath(const std::filesystem::path& p, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!std::filesystem::exists(p)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A dbus-daemon of its own, listening on `folder`/bus.
class PrivateBus {
 public:
  // With `user`, the daemon runs as that user (it must start as root): its
  // bus then admits that user only.
  explicit PrivateBus(const std::filesystem::path& folder, const std::string& user = {}) : socket_(folder / "bus") {
    const auto config = folder / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type>\n"
                          << "<listen>unix:path=" << socket_.string() << "</listen>\n"
                          << "<auth>EXTERNAL</auth>\n"
                          << (user.empty() ? "" : "<user>" + user + "</user>\n")
                          << "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                             "<allow own=\"*\"/></policy>\n"
                             "</busconfig>\n";
    daemon_ = std::make_unique<TestProcess>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nopidfile"},
        (folder / "dbus-daemon.log").string());
    ready_ = daemon_->started() && waitForPath(socket_) && accepting();
  }
  bool ready() const { return ready_; }
  std::string address() const { return "unix:path=" + socket_.string(); }

 private:
  // The socket's file comes with bind(), before the daemon listens on it.
  bool accepting() const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, socket_.c_str(), sizeof a.sun_path - 1);
    while (std::chrono::steady_clock::now() < end) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
      ::close(fd);
      if (ok) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::filesystem::path socket_;
  std::unique_ptr<TestProcess> daemon_;
  bool ready_ = false;
};

// quorvane-notify-standin on a bus, recording into `record`.
class NotificationStandIn {
 public:
  NotificationStandIn(const std::filesystem::path& program, const std::string& address,
                      const std::filesystem::path& record, const std::vector<std::string>& flags = {})
      : record_(record) {
    const auto ready = record.string() + ".ready";
    std::vector<std::string> argv{program.string(), "--address", address, "--record", record.string(), "--ready",
                                  ready, "--max-seconds", "120"};
    argv.insert(argv.end(), flags.begin(), flags.end());
    process_ = std::make_unique<TestProcess>(argv);
    ready_ = process_->started() && waitForPath(ready);
  }
  bool ready() const { return ready_; }
  // The recorded Notify calls, one JSON text per line.
  std::vector<std::string> calls() const {
    std::ifstream in(record_, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::filesystem::path record_;
  std::unique_ptr<TestProcess> process_;
  bool ready_ = false;
};

// A pseudo-terminal in raw mode (no output processing): what is written to
// its device arrives at the master unchanged.
struct Pty {
  int master = -1, slave = -1;
  std::string device;
  Pty() {
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    device = name;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  // Reads until `size` bytes came or `deadline` passed.
  std::string read(std::size_t size, std::chrono::milliseconds deadline = std::chrono::seconds(10)) const {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (got.size() < size && std::chrono::steady_clock::now() < end) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }
};

}  // namespace quorvane::testing
