// Error numbers and texts of the socket layer, and the 16-bit port helpers.
#include "agent/MSocketSupport.h"

#include <gtest/gtest.h>

namespace quorvane::agent {
namespace {

TEST(GetErrorDescription, GivesTheTextOfEachNumber) {
  struct Row {
    long code;
    const char* text;
  };
  const Row rows[] = {
      {10004, "Interrupted function call."},
      {10035, "Resource temporarily unavailable."},
      {10047, "Address family not supported by protocol family."},
      {10048, "Address already in use."},
      {10049, "Cannot assign requested address."},
      {10054, "Connection reset by peer."},
      {10061, "Connection refused."},
      {10093, "Successful WSAStartup not yet performed."},
      {11001, "Host not found."},
      {11004, "Valid name, no data record of requested type."},
      {0, "Unknown error."},
      {10059, "Unknown error."},
      {-1, "Unknown error."},
  };
  for (const auto& r : rows) EXPECT_EQ(GetErrorDescription(r.code), r.text) << r.code;
}

TEST(WinsockCode, MapsTheSystemsConditions) {
  struct Row {
    asio::error_code ec;
    long code;
  };
  const Row rows[] = {
      {{}, 0},
      {asio::error::connection_refused, 10061},
      {asio::error::address_in_use, 10048},
      {std::make_error_code(std::errc::address_not_available), 10049},
      {asio::error::connection_reset, 10054},
      {asio::error::connection_aborted, 10053},
      {asio::error::timed_out, 10060},
      {asio::error::network_unreachable, 10051},
      {asio::error::host_unreachable, 10065},
      {asio::error::would_block, 10035},
      {asio::error::already_connected, 10056},
      {asio::error::not_connected, 10057},
      {asio::error::broken_pipe, 10058},
      {asio::error::host_not_found, 11001},
      {asio::error::host_not_found_try_again, 11002},
      {asio::error::no_recovery, 11003},
      {asio::error::access_denied, 10013},
  };
  for (const auto& r : rows) EXPECT_EQ(winsockCode(r.ec), r.code) << r.ec.message();
}

TEST(PortHelpers, MapBetweenUnsignedAndSigned16Bit) {
  EXPECT_EQ(UnsignedToInteger(0), 0);
  EXPECT_EQ(UnsignedToInteger(32767), 32767);
  EXPECT_EQ(UnsignedToInteger(32768), -32768);
  EXPECT_EQ(UnsignedToInteger(65535), -1);
  EXPECT_EQ(UnsignedToInteger(65536), std::nullopt);
  EXPECT_EQ(UnsignedToInteger(-1), std::nullopt);
  EXPECT_EQ(IntegerToUnsigned(-1), 65535);
  EXPECT_EQ(IntegerToUnsigned(-32768), 32768);
  EXPECT_EQ(IntegerToUnsigned(80), 80);
}

}  // namespace
}  // namespace quorvane::agent
