// Small file helpers of the Linux hardware backends: whole-file reads of
// /proc and /sys files (which report a size of 0, so they are read until
// end of file) and sorted directory listings, no state; and RootedBackend,
// the base of the backends that read their files below a machine root.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::platform::linux_backend {

// The whole file, or nullopt when it cannot be read or holds more than
// `limit` bytes.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t limit = 64u << 20);
// The first line of the file without surrounding blanks; empty when unreadable.
std::string readFirstLine(const std::string& path);
// Names in a directory (no "." or ".."), sorted by name; empty when unreadable.
std::vector<std::string> listDirectory(const std::string& path);
// "a" + "/" + "b" without doubling the separator.
std::string joinPath(std::string_view a, std::string_view b);
std::string_view trimBlanks(std::string_view s);
// The pieces of `text` between `separator`s (a final separator closes the
// last piece rather than opening an empty one).
std::vector<std::string_view> splitPieces(std::string_view text, char separator);
// Parses a number written in decimal or with a 0x prefix; nullopt when it is not one.
std::optional<unsigned long long> parseNumber(std::string_view text);

// A backend of the service `Service` that reads its files below a machine
// root: "/" for this machine, a sample tree in the tests.
template <typename Service>
class RootedBackend : public Service {
 public:
  explicit RootedBackend(std::string root) : root_(std::move(root)) {}

 protected:
  const std::string& root() const { return root_; }
  // `relative` below the root.
  std::string path(std::string_view relative) const { return joinPath(root_, relative); }

 private:
  std::string root_;
};

}  // namespace quorvane::platform::linux_backend
