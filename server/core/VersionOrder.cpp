#include "server/core/VersionOrder.h"

#include <cctype>

namespace quorvane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Weight of one character of a non-digit run; 0 stands for the end of the run.
int weight(char c) {
  if (c == '~') return -2;
  if (c == '^') return -1;  // after the end, before anything else: see below
  if (isLetter(c)) return static_cast<unsigned char>(c);
  return static_cast<unsigned char>(c) + 256;
}

// The weight of position i of `s` inside a non-digit run (the end of the run
// when a digit or the end of the text stands there).
int weightAt(std::string_view s, std::size_t i) {
  if (i >= s.size() || isDigit(s[i])) return 0;
  const int w = weight(s[i]);
  return w == -1 ? 1 : w;  // "^" ranks just above the end of the run
}

// Compares two digit runs as numbers of any length.
int compareNumbers(std::string_view a, std::string_view b) {
  while (!a.empty() && a.front() == '0') a.remove_prefix(1);
  while (!b.empty() && b.front() == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string_view digitRun(std::string_view s, std::size_t& i) {
  const std::size_t start = i;
  while (i < s.size() && isDigit(s[i])) ++i;
  return s.substr(start, i - start);
}

// Alternating non-digit and digit runs, the non-digit run first.
int compareParts(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    while ((i < a.size() && !isDigit(a[i])) || (j < b.size() && !isDigit(b[j]))) {
      const int wa = weightAt(a, i), wb = weightAt(b, j);
      if (wa != wb) return wa < wb ? -1 : 1;
      if (i < a.size() && !isDigit(a[i])) ++i;
      if (j < b.size() && !isDigit(b[j])) ++j;
    }
    const int n = compareNumbers(digitRun(a, i), digitRun(b, j));
    if (n != 0) return n;
  }
  return 0;
}

struct Parts {
  std::string_view epoch, upstream, revision;
};

// [epoch:]upstream[-revision]; an epoch only when all digits before the ":".
Parts split(std::string_view v) {
  Parts p;
  const auto colon = v.find(':');
  if (colon != std::string_view::npos && colon > 0) {
    bool digits = true;
    for (std::size_t k = 0; k < colon; ++k) digits = digits && isDigit(v[k]);
    if (digits) {
      p.epoch = v.substr(0, colon);
      v.remove_prefix(colon + 1);
    }
  }
  const auto dash = v.rfind('-');
  if (dash != std::string_view::npos && dash > 0) {
    p.revision = v.substr(dash + 1);
    v = v.substr(0, dash);
  }
  p.upstream = v;
  return p;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
  const Parts pa = split(trimmed(a)), pb = split(trimmed(b));
  if (const int c = compareNumbers(pa.epoch, pb.epoch)) return c;
  if (const int c = compareParts(pa.upstream, pb.upstream)) return c;
  return compareParts(pa.revision, pb.revision);
}

bool versionMatches(std::string_view version, VersionOp op, std::string_view bound) {
  if (op == VersionOp::Any) return true;
  const int c = compareVersions(version, bound);
  switch (op) {
    case VersionOp::Less: return c < 0;
    case VersionOp::LessEqual: return c <= 0;
    case VersionOp::Equal: return c == 0;
    case VersionOp::GreaterEqual: return c >= 0;
    case VersionOp::Greater: return c > 0;
    case VersionOp::Any: break;
  }
  return true;
}

}  // namespace quorvane
