// ScratchFolders: temporary folders for tests. Every folder of one test
// process lies under "<temp>/<prefix>-<pid>/", and that root is removed with
// everything in it when the process ends (a failed test included; only a
// crash leaves it). Header-only; single-threaded use.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

namespace quorvane::testing {

class ScratchRoots {
 public:
  static ScratchRoots& instance() {
    static ScratchRoots roots;
    return roots;
  }
  ~ScratchRoots() {
    std::error_code ec;
    for (const auto& [prefix, root] : roots_) std::filesystem::remove_all(root, ec);
  }
  ScratchRoots(const ScratchRoots&) = delete;
  ScratchRoots& operator=(const ScratchRoots&) = delete;

  const std::filesystem::path& root(const std::string& prefix) {
    auto found = roots_.find(prefix);
    if (found == roots_.end()) {
      const auto path = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()));
      found = roots_.emplace(prefix, path).first;
    }
    return found->second;
  }

 private:
  ScratchRoots() = default;
  std::map<std::string, std::filesystem::path> roots_;
};

// A new, empty folder "<temp>/<prefix>-<pid>/<n>-<name>".
inline std::filesystem::path scratchFolder(const std::string& prefix, const std::string& name) {
  static int counter = 0;
  const auto p = ScratchRoots::instance().root(prefix) / (std::to_string(counter++) + "-" + name);
  std::filesystem::remove_all(p);
  std::filesystem::create_directories(p);
  return p;
}

}  // namespace quorvane::testing
