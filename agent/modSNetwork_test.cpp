// GetMyHostname / GetMyIPAddress over a scripted name system (no queries).
#include "agent/modSNetwork.h"

#include <gtest/gtest.h>

namespace quorvane::agent {
namespace {

struct Shown {
  std::string text;
  int style;
};

TEST(modSNetwork, AnswersAndFailures) {
  using Addresses = std::optional<std::vector<std::string>>;
  struct Row {
    const char* name;
    std::optional<std::string> host;
    Addresses addresses;
    bool throws;
    std::string expectedName;
    std::string expectedIP;
    std::string message;  // shown by GetMyIPAddress, "" for none
  };
  const std::vector<Row> rows = {
      {"several addresses: the first", "pc1", Addresses{{"192.0.2.7", "127.0.1.1"}}, false, "pc1",
       "192.0.2.7", ""},
      {"name cut at a NUL", std::string("pc2\0junk", 8), Addresses{{"127.0.0.5"}}, false, "pc2",
       "127.0.0.5", ""},
      {"no host name", std::nullopt, Addresses{{"127.0.0.1"}}, false, "", "",
       "Windows Sockets error ..."},
      {"lookup fails", "pc3", std::nullopt, false, "pc3", "",
       "Windows Sockets are not responding ..."},
      {"lookup finds nothing", "pc4", Addresses{std::vector<std::string>{}}, false, "pc4", "",
       "Windows Sockets are not responding ..."},
      {"unexpected failure", "pc5", std::nullopt, true, "pc5", "127.0.0.1", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    NameSystem names;
    names.hostName = [&] { return row.host; };
    names.addressesOf = [&](const std::string& name) -> Addresses {
      if (row.throws) throw std::runtime_error("boom");
      EXPECT_EQ(name, row.expectedName);
      return row.addresses;
    };
    std::vector<Shown> shown;
    auto notify = [&](std::string_view text, int style) { shown.push_back({std::string(text), style}); };
    EXPECT_EQ(GetMyHostname(notify, names), row.expectedName);
    shown.clear();
    EXPECT_EQ(GetMyIPAddress(notify, names), row.expectedIP);
    if (row.message.empty()) {
      EXPECT_TRUE(shown.empty());
    } else {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].text, row.message);
      EXPECT_EQ(shown[0].style, 16);
    }
  }
}

}  // namespace
}  // namespace quorvane::agent
