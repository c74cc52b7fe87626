#include "platform/linux/LinuxHardwareFiles.h"

#include <dirent.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

#include "common/WholeFile.h"

namespace quorvane::platform::linux_backend {

namespace {
// readFirstLine reads small attribute files (of /sys, /proc): one page
// or so, bounded well above that.
constexpr std::size_t kFirstLineFileBytes = 1u << 20;
}  // namespace

std::optional<std::string> readWholeFile(const std::string& path, std::size_t limit) {
  auto data = quorvane::readWholeFile(path, limit);
  if (!data) return std::nullopt;
  return std::move(*data);
}

std::string_view trimBlanks(std::string_view s) {
  const char* blanks = " \t\r\n\f\v";
  auto b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  auto e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

std::string readFirstLine(const std::string& path) {
  auto text = readWholeFile(path, kFirstLineFileBytes);
  if (!text) return {};
  std::string_view v = *text;
  v = v.substr(0, v.find('\n'));
  return std::string(trimBlanks(v));
}

std::vector<std::string_view> splitPieces(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto end = text.find(separator, pos);
    if (end == std::string_view::npos) end = text.size();
    pieces.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return pieces;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return names;
  while (dirent* e = ::readdir(dir)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    names.emplace_back(n);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string joinPath(std::string_view a, std::string_view b) {
  std::string out(a);
  while (!b.empty() && b.front() == '/') b.remove_prefix(1);
  if (out.empty() || out.back() != '/') out += '/';
  out += b;
  return out;
}

std::optional<unsigned long long> parseNumber(std::string_view text) {
  text = trimBlanks(text);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  unsigned long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace quorvane::platform::linux_backend
