// The signed command rows against an agent program that is already running,
// given by the environment:
//   QUORVANE_AGENT_HOST  its address (default 127.0.0.1)
//   QUORVANE_AGENT_PORT  its ListenPortNumber
//   QUORVANE_AGENT_KEY   the console's key file (commandKey.pem), whose
//                        CommandPublicKey line the agent holds
//   QUORVANE_AGENT_LOG   the agent's standard output and error (it runs with
//                        --power dry-run)
// SignedCommandRows_test.sh runs it against QuorvanePro; tools/test-windows.sh
// against QuorvanePro.exe under Wine. The agent keeps running afterwards.
#include <gtest/gtest.h>

#include <cstdlib>

#include "agent/SignedCommandRows.h"

namespace quorvane::agent::testing {
namespace {

std::string environment(const char* name, const std::string& fallback = {}) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

TEST(SignedCommandRows, AgainstARunningAgent) {
  const std::string host = environment("QUORVANE_AGENT_HOST", "127.0.0.1");
  const std::string port = environment("QUORVANE_AGENT_PORT");
  const std::string keyFile = environment("QUORVANE_AGENT_KEY");
  const std::string log = environment("QUORVANE_AGENT_LOG");
  ASSERT_FALSE(port.empty() || keyFile.empty() || log.empty())
      << "set QUORVANE_AGENT_PORT, QUORVANE_AGENT_KEY and QUORVANE_AGENT_LOG";
  auto key = CommandKey::load(keyFile);
  ASSERT_TRUE(key) << key.status().description();
  asio::error_code ec;
  asio::ip::make_address_v4(host, ec);
  ASSERT_FALSE(ec) << "QUORVANE_AGENT_HOST is no IPv4 address: " << host;
  const long number = std::strtol(port.c_str(), nullptr, 10);
  ASSERT_TRUE(number > 0 && number < 65536) << "QUORVANE_AGENT_PORT: " << port;
  asio::io_context io;
  AgentLogWatch watch(log);
  playSignedCommandRows(io, host, number, *key, watch);
}

}  // namespace
}  // namespace quorvane::agent::testing
