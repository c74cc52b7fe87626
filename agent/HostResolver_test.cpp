// HostResolver: the dotted-address check, and the table resolver the tests
// and simulations use (answers on the loop, never inside resolve; a cancelled
// or outlived request is never answered).
#include "agent/HostResolver.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {
namespace {

TEST(ParseDottedAddress, OnlyFourDecimalPartsAreAnAddress) {
  struct Row {
    const char* name;
    const char* text;
    std::optional<std::string> address;
  };
  const Row rows[] = {
      {"loopback", "127.0.0.1", "127.0.0.1"},
      {"simulated PC", "127.3.2.1", "127.3.2.1"},
      {"all zero", "0.0.0.0", "0.0.0.0"},
      {"broadcast", "255.255.255.255", "255.255.255.255"},
      {"empty", "", std::nullopt},
      {"part above 255", "127.0.0.256", std::nullopt},
      {"three parts", "127.0.1", std::nullopt},
      {"five parts", "127.0.0.1.5", std::nullopt},
      {"host name", "localhost", std::nullopt},
      {"IPv6", "::1", std::nullopt},
      {"blank before", " 127.0.0.1", std::nullopt},
      {"blank after", "127.0.0.1 ", std::nullopt},
      {"hexadecimal part", "0x7f.0.0.1", std::nullopt},
      {"empty part", "127..0.1", std::nullopt},
      {"negative part", "127.0.0.-1", std::nullopt},
      {"port attached", "127.0.0.1:80", std::nullopt},
  };
  for (const auto& row : rows) {
    auto parsed = parseDottedAddress(row.text);
    ASSERT_EQ(parsed.has_value(), row.address.has_value()) << row.name;
    if (parsed) {
      EXPECT_EQ(parsed->to_string(), *row.address) << row.name;
    }
  }
}

TEST(StaticHostResolver, AnswersFromItsTableOnTheLoop) {
  struct Row {
    const char* name;
    const char* host;
    long error;
    const char* address;
  };
  const Row rows[] = {
      {"name in the table", "server", 0, "127.0.0.1"},
      {"name not in the table", "elsewhere", kWsaHostNotFound, ""},
      {"case counts", "SERVER", kWsaHostNotFound, ""},
      {"empty name", "", kWsaHostNotFound, ""},
  };
  for (const auto& row : rows) {
    asio::io_context io;
    StaticHostResolver resolver(io);
    resolver.addresses["server"] = "127.0.0.1";
    std::vector<ResolveResult> answers;
    const long id = resolver.resolve(row.host, [&](const ResolveResult& r) { answers.push_back(r); });
    EXPECT_NE(id, 0) << row.name;
    EXPECT_TRUE(answers.empty()) << row.name << ": answered inside resolve";
    io.run();
    ASSERT_EQ(answers.size(), 1u) << row.name;
    EXPECT_EQ(answers[0].error, row.error) << row.name;
    EXPECT_EQ(answers[0].address, row.address) << row.name;
    EXPECT_EQ(resolver.queries(), 1) << row.name;
  }
}

TEST(StaticHostResolver, CancelledAndOutlivedRequestsAreNeverAnswered) {
  asio::io_context io;
  int answered = 0;
  {
    auto resolver = std::make_unique<StaticHostResolver>(io);
    resolver->addresses["server"] = "127.0.0.1";
    const long first = resolver->resolve("server", [&](const ResolveResult&) { ++answered; });
    const long second = resolver->resolve("server", [&](const ResolveResult&) { answered += 10; });
    EXPECT_NE(first, second);
    resolver->cancel(first);
    resolver->cancel(first);   // twice: no harm
    resolver->cancel(12345);   // never issued: no harm
    io.run();
    EXPECT_EQ(answered, 10);
    io.restart();
    resolver->resolve("server", [&](const ResolveResult&) { answered += 100; });
  }  // the resolver ends before its answer is delivered
  io.run();
  EXPECT_EQ(answered, 10);
}

TEST(StaticHostResolver, ReverseLookupFindsTheNameOfAnAddress) {
  asio::io_context io;
  StaticHostResolver resolver(io);
  resolver.addresses["server"] = "127.0.0.1";
  resolver.addresses["pc-7"] = "127.0.7.7";
  struct Row {
    const char* address;
    std::optional<std::string> name;
  };
  const Row rows[] = {{"127.0.7.7", "pc-7"}, {"127.0.0.1", "server"}, {"127.0.0.2", std::nullopt},
                      {"", std::nullopt},    {"server", std::nullopt}};
  for (const auto& row : rows) EXPECT_EQ(resolver.reverseLookup(row.address), row.name) << row.address;
}

TEST(SystemHostResolver, ReverseLookupOfATextThatIsNoAddressAsksNobody) {
  asio::io_context io;
  SystemHostResolver resolver(io);
  for (const char* text : {"", "localhost", "::1", "127.0.0.256"}) {
    EXPECT_EQ(resolver.reverseLookup(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace quorvane::agent
