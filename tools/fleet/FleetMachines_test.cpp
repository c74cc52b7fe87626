// The fleet's machine files: loopback addresses outside the server's range,
// generated machines that the fixture backend loads, that differ from each
// other and repeat for the same seed, and requests that are refused.
#include "tools/fleet/FleetMachines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "agent/HostResolver.h"
#include "agent/modMisc.h"
#include "common/ScratchFolders.h"
#include "platform/Platform.h"

namespace quorvane::fleet {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

fs::path freshFolder(const std::string& name) { return quorvane::testing::scratchFolder("qv-fleet", name); }

json readJson(const fs::path& p) {
  std::ifstream in(p);
  return json::parse(in);
}

TEST(FleetMachines, AddressesAreLoopbackAndDistinct) {
  std::set<std::string> seen;
  for (int i : {0, 1, 253, 254, 255, 2000, kMaxFleetAgents - 1}) {
    const std::string a = fleetAddress(i);
    EXPECT_TRUE(seen.insert(a).second) << a;
    auto parsed = agent::parseDottedAddress(a);
    ASSERT_TRUE(parsed) << a;
    EXPECT_TRUE(parsed->is_loopback()) << a;
    EXPECT_NE(a.rfind("127.0.0.", 0), 0u) << a << " is the server's range";
    EXPECT_NE(a.substr(a.rfind('.')), ".0") << a;
    EXPECT_NE(a.substr(a.rfind('.')), ".255") << a;
  }
  EXPECT_EQ(fleetAddress(0), "127.0.1.1");
  EXPECT_EQ(fleetAddress(254), "127.0.2.1");
}

TEST(FleetMachines, GeneratedMachinesLoadVaryAndRepeat) {
  const fs::path dir = freshFolder("machines");
  ASSERT_TRUE(writeFleetMachines(dir, 12, 7, defaultMachineTemplates()).ok());
  const auto files = listMachineFiles(dir);
  ASSERT_EQ(files.size(), 12u);
  EXPECT_EQ(files.front().filename(), "machine-00000.json");
  std::set<std::string> hosts, domains, appLists;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].string());
    // Each file is a machine the fixture backend accepts.
    auto platform = platform::makeFixturePlatform(files[i]);
    ASSERT_TRUE(platform.ok()) << platform.status().description();
    const json m = readJson(files[i]);
    hosts.insert(m["network"]["hostName"].get<std::string>());
    for (const auto& a : m["network"]["addresses"]) {
      EXPECT_TRUE(agent::parseDottedAddress(a["address"].get<std::string>())->is_loopback());
    }
    EXPECT_EQ(m["network"]["addresses"][1]["address"], fleetAddress(static_cast<int>(i)));
    std::string apps;
    for (const auto& [key, v] : m["registry"].items()) {
      if (key.find("\\Uninstall\\") != std::string::npos) apps += key + ";";
    }
    EXPECT_FALSE(apps.empty());
    appLists.insert(apps);
    if (m.contains("account") && m["account"].contains("logonDomain")) {
      domains.insert(m["account"]["logonDomain"].get<std::string>());
    }
  }
  EXPECT_EQ(hosts.size(), 12u);
  EXPECT_GE(appLists.size(), 10u);
  EXPECT_GE(domains.size(), 2u);

  // The same seed gives the same machines; another seed other ones.
  const fs::path again = freshFolder("again"), other = freshFolder("other");
  ASSERT_TRUE(writeFleetMachines(again, 12, 7, defaultMachineTemplates()).ok());
  ASSERT_TRUE(writeFleetMachines(other, 12, 8, defaultMachineTemplates()).ok());
  EXPECT_EQ(*agent::readWholeFile(files[5]), *agent::readWholeFile(again / files[5].filename()));
  EXPECT_NE(*agent::readWholeFile(files[5]), *agent::readWholeFile(other / files[5].filename()));
}

TEST(FleetMachines, BadRequestsAreRefused) {
  const fs::path dir = freshFolder("bad");
  EXPECT_FALSE(writeFleetMachines(dir, -1, 1, defaultMachineTemplates()).ok());
  EXPECT_FALSE(writeFleetMachines(dir, kMaxFleetAgents + 1, 1, defaultMachineTemplates()).ok());
  EXPECT_FALSE(writeFleetMachines(dir, 1, 1, {}).ok());
  EXPECT_FALSE(writeFleetMachines(dir, 1, 1, {dir / "missing.json"}).ok());
  ASSERT_TRUE(agent::writeWholeFile(dir / "broken.json", "{ not json").ok());
  EXPECT_FALSE(writeFleetMachines(dir / "out", 1, 1, {dir / "broken.json"}).ok());
  EXPECT_TRUE(listMachineFiles(dir / "out").empty());
}

}  // namespace
}  // namespace quorvane::fleet
