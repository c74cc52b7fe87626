// Dotted IPv4 texts: the one form read, hostile ones refused.
#include "common/DottedIPv4.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {
namespace {

TEST(ParseDottedIPv4, OnlyFourDecimalPartsWithoutLeadingZeros) {
  struct Row {
    const char* name;
    std::string_view text;
    std::optional<std::uint32_t> address;
  };
  const Row rows[] = {
      {"loopback", "127.0.0.1", 0x7F000001},
      {"all zero", "0.0.0.0", 0},
      {"broadcast", "255.255.255.255", 0xFFFFFFFF},
      {"documentation", "192.0.2.20", 0xC0000214},
      {"empty", "", std::nullopt},
      {"part above 255", "127.0.0.256", std::nullopt},
      {"four digits", "127.0.0.0001", std::nullopt},
      {"leading zero", "127.0.0.01", std::nullopt},
      {"three parts", "127.0.1", std::nullopt},
      {"five parts", "127.0.0.1.5", std::nullopt},
      {"trailing dot", "127.0.0.1.", std::nullopt},
      {"empty part", "127..0.1", std::nullopt},
      {"blank before", " 127.0.0.1", std::nullopt},
      {"blank after", "127.0.0.1 ", std::nullopt},
      {"line end", "127.0.0.1\n", std::nullopt},
      {"NUL inside", std::string_view("127.0\0.0.1", 11), std::nullopt},
      {"hexadecimal", "0x7f.0.0.1", std::nullopt},
      {"sign", "+127.0.0.1", std::nullopt},
      {"port attached", "127.0.0.1:80", std::nullopt},
      {"IPv6", "::1", std::nullopt},
      {"host name", "localhost", std::nullopt},
      {"huge part", "99999999999999999999.0.0.1", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(parseDottedIPv4(row.text), row.address) << row.name;
}

}  // namespace
}  // namespace quorvane
