#include "common/DottedIPv4.h"

namespace quorvane {

std::optional<std::uint32_t> parseDottedIPv4(std::string_view text) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    const std::size_t begin = at;
    unsigned value = 0;
    while (at < text.size() && at - begin < 4 && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
    }
    const std::size_t digits = at - begin;
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    if (digits > 1 && text[begin] == '0') return std::nullopt;  // no leading zeros
    address = (address << 8) | value;
  }
  if (at != text.size()) return std::nullopt;
  return address;
}

}  // namespace quorvane
