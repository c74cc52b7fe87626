// Child processes for end-to-end tests: started with their output in files,
// waited for with deadlines (never fixed sleeps), and stopped by the test
// that started them (SIGTERM, then SIGKILL after a grace period).
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::e2e {

class Child {
 public:
  // Runs `argv` with standard output and error going to `outFile`/`errFile`.
  Child(std::vector<std::string> argv, std::filesystem::path outFile, std::filesystem::path errFile);
  ~Child();  // stops the child if it still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  int pid() const { return pid_; }
  // The exit status once it ended (128 + signal for a signal), else nullopt.
  std::optional<int> poll();
  // Waits up to `deadline` for the end.
  std::optional<int> wait(std::chrono::milliseconds deadline);
  // SIGTERM, then SIGKILL after `grace`; returns the exit status.
  std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::seconds(10));
  void kill9();
  std::string out() const;
  std::string err() const;

 private:
  int pid_ = -1;
  std::optional<int> status_;
  std::filesystem::path outFile_, errFile_;
};

// Runs to its end (or kills it after `deadline`); returns the status.
struct RunResult {
  std::optional<int> status;
  std::string out, err;
};
RunResult runToEnd(std::vector<std::string> argv, const std::filesystem::path& scratch,
                   std::chrono::milliseconds deadline = std::chrono::seconds(60));

// Polls `condition` every 5 ms until it holds or `deadline` passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

// A port (10000-19999) nothing is bound to right now.
int freeLoopbackPort();
// Whether something accepts TCP connections on 127.0.0.1:port now.
bool acceptsConnections(int port);

std::string readFile(const std::filesystem::path& p);

}  // namespace quorvane::e2e
