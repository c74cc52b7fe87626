// The local address toward an IPv4 address, on its own and through the native network backend. Loopback
// only: a connected UDP socket sends nothing anyway.
#include "platform/LocalAddress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

TEST(LocalAddressToward, OnlyDottedIPv4TextsAreAsked) {
  struct Row {
    const char* name;
    const char* server;
    std::optional<std::string> local;
  };
  const Row rows[] = {
      {"loopback", "127.0.0.1", "127.0.0.1"},
      {"another loopback address", "127.0.0.2", "127.0.0.1"},
      {"empty", "", std::nullopt},
      {"host name", "localhost", std::nullopt},
      {"IPv6 loopback", "::1", std::nullopt},
      {"part above 255", "127.0.0.256", std::nullopt},
      {"three parts", "127.0.1", std::nullopt},
      {"blank after", "127.0.0.1 ", std::nullopt},
      {"port attached", "127.0.0.1:80", std::nullopt},
  };
  auto machine = makeNativePlatform();
  ASSERT_TRUE(machine->network);
  for (const auto& row : rows) {
    EXPECT_EQ(localIPv4Toward(row.server), row.local) << row.name;
    EXPECT_EQ(machine->network->localAddressToward(row.server), row.local) << row.name;
  }
}

}  // namespace
}  // namespace quorvane::platform
