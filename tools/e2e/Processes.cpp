#include "tools/e2e/Processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <random>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace quorvane::e2e {

namespace fs = std::filesystem;

Child::Child(std::vector<std::string> argv, fs::path outFile, fs::path errFile)
    : outFile_(std::move(outFile)), errFile_(std::move(errFile)) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  pid_ = pid;
}

Child::~Child() {
  if (pid_ > 0 && !status_) stop(std::chrono::seconds(5));
}

std::optional<int> Child::poll() {
  if (status_ || pid_ <= 0) return status_;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }
  return status_;
}

std::optional<int> Child::wait(std::chrono::milliseconds deadline) {
  waitFor([this] { return poll().has_value(); }, deadline);
  return status_;
}

std::optional<int> Child::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0 || poll()) return status_;
  ::kill(pid_, SIGTERM);
  if (!wait(grace)) {
    ::kill(pid_, SIGKILL);
    wait(std::chrono::seconds(10));
  }
  return status_;
}

void Child::kill9() {
  if (pid_ <= 0 || poll()) return;
  ::kill(pid_, SIGKILL);
  wait(std::chrono::seconds(10));
}

std::string Child::out() const { return readFile(outFile_); }
std::string Child::err() const { return readFile(errFile_); }

RunResult runToEnd(std::vector<std::string> argv, const fs::path& scratch, std::chrono::milliseconds deadline) {
  static std::atomic<int> n{0};
  const int k = n++;
  const fs::path out = scratch / ("run-" + std::to_string(k) + ".out");
  const fs::path err = scratch / ("run-" + std::to_string(k) + ".err");
  RunResult r;
  {
    Child c(std::move(argv), out, err);
    r.status = c.wait(deadline);
    if (!r.status) c.stop();
  }
  r.out = readFile(out);
  r.err = readFile(err);
  return r;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Below the ephemeral range (32768 and up), so that an outgoing connection
// of a test running beside this one cannot take the port before the server
// listens; and below the fleets' listening ports (20000 and up).
int freeLoopbackPort() {
  std::mt19937 rng(static_cast<unsigned>(::getpid()) * 7919u + static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int port = 10000 + static_cast<int>(rng() % 10000);
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);  // the server listens on every address
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool free = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    if (free) return port;
  }
  return 0;
}

bool acceptsConnections(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace quorvane::e2e
