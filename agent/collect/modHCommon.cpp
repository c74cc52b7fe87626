#include "agent/collect/modHCommon.h"

#include <cctype>

namespace quorvane::agent {

std::int64_t numberOfText(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  t.remove_prefix(i);
  if (t.size() >= 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    std::uint64_t v = 0;
    std::size_t k = 2, n = 0;
    for (; k < t.size() && n < 16 && std::isxdigit(static_cast<unsigned char>(t[k])); ++k, ++n) {
      char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[k])));
      v = v * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    // Up to eight digits are a 32-bit number (the registry's DWORD), taken unsigned.
    return static_cast<std::int64_t>(v);
  }
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  std::int64_t v = 0;
  for (std::size_t k = 0; k < t.size() && k < 18 && std::isdigit(static_cast<unsigned char>(t[k])); ++k) {
    v = v * 10 + (t[k] - '0');
  }
  return negative ? -v : v;
}

}  // namespace quorvane::agent
