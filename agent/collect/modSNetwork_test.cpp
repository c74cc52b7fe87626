#include "agent/collect/modSNetwork.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using platform::InterfaceAddress;

TEST(ModSNetwork, TheAddressByWhichTheServerSeesTheAgent) {
  const std::vector<InterfaceAddress> debian = {
      {"lo", "127.0.0.1", true, true},
      {"docker0", "192.0.2.200", false, false},
      {"eth0", "192.0.2.17", true, false},
      {"eth1", "192.0.2.18", true, false},
  };
  struct Row {
    const char* name;
    std::optional<std::string> route;
    std::vector<InterfaceAddress> addresses;
    const char* expected;
  } rows[] = {
      {"route to the server wins", std::string("192.0.2.18"), debian, "192.0.2.18"},
      {"loopback route to a local server", std::string("127.0.0.1"), debian, "127.0.0.1"},
      {"no server: first non-loopback address that is up", std::nullopt, debian, "192.0.2.17"},
      {"unspecified route answer ignored", std::string("0.0.0.0"), debian, "192.0.2.17"},
      {"empty route answer ignored", std::string(""), debian, "192.0.2.17"},
      {"127.0.1.1 of /etc/hosts is loopback too", std::nullopt,
       {{"lo", "127.0.1.1", true, false}, {"wlan0", "192.0.2.9", true, false}}, "192.0.2.9"},
      {"nothing else: 127.0.0.1", std::nullopt, {{"lo", "127.0.0.1", true, true}}, "127.0.0.1"},
      {"no interfaces at all", std::nullopt, {}, "127.0.0.1"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(chooseAgentAddress(r.route, r.addresses), r.expected) << r.name;
}

TEST(ModSNetwork, RouteChoiceOnThisMachineStaysOnLoopback) {
  auto m = platform::makeNativePlatform();
  testing::Recorder rec;
  // A server on this machine is reached over loopback: the system's answer.
  EXPECT_EQ(agentAddress(rec.context(*m, "127.0.0.1")), "127.0.0.1");
  auto other = agentAddress(rec.context(*m, "127.45.6.7"));
  EXPECT_EQ(other.rfind("127.", 0), 0u) << other;
  // A name is never resolved: the answer falls back to the interface list.
  EXPECT_EQ(m->network->localAddressToward("server.invalid"), std::nullopt);
  EXPECT_EQ(agentAddress(rec.context(*m, "server.invalid")), agentAddress(rec.context(*m)));
}

const char* kNtAccount = R"({
  "version": {"majorVersion": 5, "minorVersion": 1, "platformId": 2},
  "network": {"hostName": "XP"},
  "account": {"userName": "jdoe", "logonDomain": "%DOMAIN%",
              "tokenGroups": ["S-1-1-0", "S-1-5-32-544"],
              "accountNames": {"S-1-1-0": "Jeder", "S-1-5-32-544": "Administratoren"}}
})";

std::string withDomain(const std::string& domain) {
  std::string json = kNtAccount;
  json.replace(json.find("%DOMAIN%"), 8, domain);
  return json;
}

TEST(ModSNetwork, AdministratorsAreFoundByTheLookedUpName) {
  struct Row {
    const char* name;
    const char* account;
    bool admin;
  } rows[] = {
      {"localised name",
       R"({"tokenGroups": ["S-1-1-0", "S-1-5-32-544"], "accountNames": {"S-1-1-0": "Jeder", "S-1-5-32-544": "Administratoren"}})",
       true},
      {"not a member",
       R"({"tokenGroups": ["S-1-1-0", "S-1-5-32-545"], "accountNames": {"S-1-1-0": "Everyone", "S-1-5-32-545": "Users", "S-1-5-32-544": "Administrators"}})",
       false},
      {"token cannot be read", R"({"tokenGroups": null, "accountNames": {"S-1-5-32-544": "Administrators"}})",
       false},
      {"the group's name cannot be looked up: failed look-ups never match",
       R"({"tokenGroups": ["S-1-5-99", "S-1-5-32-544"], "accountNames": {}})", false},
      {"another group that carries the same name", R"({"tokenGroups": ["S-1-5-21-1-2-3-1000"],
         "accountNames": {"S-1-5-21-1-2-3-1000": "Administrators", "S-1-5-32-544": "Administrators"}})",
       true},
  };
  for (const auto& r : rows) {
    auto m = testing::machineFromJson(std::string(R"({"version": {"platformId": 2}, "account": )") +
                                      r.account + "}");
    testing::Recorder rec;
    EXPECT_EQ(isAdministrator(rec.context(*m)), r.admin) << r.name;
  }
  // Only the first 500 groups are examined.
  std::string groups;
  for (int i = 0; i < 500; ++i) groups += "\"S-1-5-21-9-" + std::to_string(i) + "\", ";
  auto late = testing::machineFromJson(R"({"version": {"platformId": 2}, "account": {"tokenGroups": [)" +
                                       groups + R"("S-1-5-32-544"], "accountNames": {"S-1-5-32-544": "Administrators"}}})");
  testing::Recorder rec;
  EXPECT_FALSE(isAdministrator(rec.context(*late)));
}

TEST(ModSNetwork, DomainNamesAndWorkgroups) {
  testing::Recorder rec;
  {
    auto m = testing::machineFromJson(withDomain("DOM\u00c4NE\u03a9"));
    // The low byte of each character: Ä stays C4, Ω (03A9) becomes A9.
    EXPECT_EQ(getDomainName(rec.context(*m)), "DOM\xC4NE\xA9");
  }
  {
    auto m = testing::machineFromJson(withDomain(std::string(300, 'D')));
    EXPECT_EQ(getDomainName(rec.context(*m)), std::string(256, 'D'));
  }
  const std::string key = R"("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VXD\\VNETSUP")";
  struct Row {
    const char* name;
    std::string value;
    const char* expected;
  } rows[] = {
      {"workgroup", R"({"type": "REG_SZ", "value": "MILTON"})", "MILTON"},
      {"254 characters fit", R"({"type": "REG_SZ", "value": ")" + std::string(254, 'w') + "\"}",
       nullptr},
      {"longer than the buffer", R"({"type": "REG_SZ", "value": ")" + std::string(255, 'w') + "\"}",
       ""},
  };
  for (const auto& r : rows) {
    auto m = testing::machineFromJson(R"({"version": {"platformId": 1}, "registry": {)" + key +
                                      R"(: {"Workgroup": )" + r.value + "}}}");
    const std::string expected = r.expected ? r.expected : std::string(254, 'w');
    EXPECT_EQ(getWorkgroup(rec.context(*m)), expected) << r.name;
    EXPECT_EQ(getDomainName(rec.context(*m)), expected) << r.name << " (not NT)";
  }
  auto none = testing::machineFromJson(R"({"version": {"platformId": 1}})");
  EXPECT_EQ(getWorkgroup(rec.context(*none)), "");
  EXPECT_TRUE(rec.reports.empty());
}

TEST(ModSNetwork, NetworkOfTheSampleMachines) {
  struct Row {
    const char* file;
    const char* serverIP;
    NetworkInfo expected;
  } rows[] = {
      {"win98se.json", "", {"PC98", "192.0.2.98", "MILTON", false, "Margaret", false}},
      {"winxp-pro.json", "192.0.2.10", {"XPPC01", "192.0.2.51", "EXAMPLE", true, "jdoe", true}},
      {"winxp-pro.json", "127.0.0.1", {"XPPC01", "127.0.0.1", "EXAMPLE", true, "jdoe", true}},
      {"winxp-pro.json", "", {"XPPC01", "192.0.2.51", "EXAMPLE", true, "jdoe", true}},
  };
  for (const auto& r : rows) {
    auto m = testing::sampleMachine(r.file);
    testing::Recorder rec;
    EXPECT_EQ(getNetwork(rec.context(*m, r.serverIP)), r.expected) << r.file << " " << r.serverIP;
    EXPECT_TRUE(rec.reports.empty());
  }
}

TEST(ModSNetwork, AHostAdministratorOutsideTheNtFamily) {
  auto m = testing::machineFromJson(R"({"version": {"platformId": 0}, "network": {"hostName": "deb"},
      "account": {"userName": "root", "hostAdministrator": true}})");
  testing::Recorder rec;
  NetworkInfo n = getNetwork(rec.context(*m));
  EXPECT_EQ(n.IsAdmin, Flag(true));
  EXPECT_EQ(n.IsNT, Flag(false));
  EXPECT_EQ(n.IP, "127.0.0.1");
}

TEST(ModSNetwork, NoHostNameIsSaidAndTheOtherFieldsStay) {
  auto m = testing::machineFromJson(R"({"version": {"platformId": 0},
      "network": {"addresses": [{"interface": "lo", "address": "127.0.0.1", "up": true, "loopback": true},
                                {"interface": "eth0", "address": "192.0.2.33", "up": true}]},
      "account": {"userName": "anna", "hostAdministrator": true},
      "registry": {"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VXD\\VNETSUP":
                   {"Workgroup": {"type": "REG_SZ", "value": "OFFICE"}}}})");
  testing::Recorder rec;
  NetworkInfo n = getNetwork(rec.context(*m));
  EXPECT_EQ(n, (NetworkInfo{"", "192.0.2.33", "OFFICE", true, "anna", false}));
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].text, "Windows Sockets error ...");
  EXPECT_EQ(rec.reports[0].where, "");
}

}  // namespace
}  // namespace quorvane::agent
