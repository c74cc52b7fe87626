#include "agent/collect/modSSoftware.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

ApplicationInfo app(std::string name, std::string uninstall = {}, std::string publisher = {},
                    std::string location = {}, std::string version = {}, std::string url = {}) {
  return {std::move(name), std::move(uninstall), std::move(publisher),
          std::move(location), std::move(version), std::move(url)};
}

TEST(ModSSoftware, ApplicationsOfTheXpSample) {
  auto m = testing::sampleMachine("winxp-pro.json");
  testing::Recorder rec;
  auto apps = getApplications(rec.context(*m));
  EXPECT_TRUE(rec.reports.empty());
  ASSERT_TRUE(apps.present);
  std::vector<ApplicationInfo> expected = {
      app("Java(TM) 6 Update 20", "MsiExec.exe /X{26A24AE4-039D-4CA4-87B4-2F83216010FF}",
          "Sun Microsystems, Inc.", "C:\\Program Files\\Java\\jre6\\", "6.0.200", "http://java.com"),
      // "Branding" has no DisplayName: Mozilla overwrites its element.
      app("Mozilla Firefox (3.6.8)", "C:\\Program Files\\Mozilla Firefox\\uninstall\\helper.exe",
          "Mozilla", "C:\\Program Files\\Mozilla Firefox", "3.6.8 (en-GB)",
          "http://www.mozilla.com/en-GB/"),
      app("Outil de la Soci\xE9t\xE9", "", "Soci\xE9t\xE9 G\xE9n\xE9rale", "", "3", "01 AB"),
      // The closing element carries the values of the last entry examined.
      app("", "\"C:\\WINDOWS\\$NtUninstallKB873339$\\spuninst\\spuninst.exe\"",
          "Microsoft Corporation"),
  };
  EXPECT_EQ(apps.items, expected);
}

TEST(ModSSoftware, EdgeCasesOfTheUninstallList) {
  const std::string base = "HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall";
  struct Row {
    const char* name;
    std::string registry;
    bool present;
    std::vector<ApplicationInfo> expected;
  } rows[] = {
      {"no uninstall key", "{}", false, {}},
      {"uninstall key without subkeys", "{\"" + base + "\": {}}", false, {}},
      {"one entry: it and an empty closing element",
       "{\"" + base + "\\\\A\": {\"DisplayName\": {\"type\": \"REG_SZ\", \"value\": \" A \"}}}", true,
       {app("A"), app("")}},
      {"only entries without names: one working element",
       "{\"" + base + "\\\\A\": {\"Publisher\": {\"type\": \"REG_SZ\", \"value\": \"P1\"}}, \"" + base +
           "\\\\B\": {\"URLInfoAbout\": {\"type\": \"REG_SZ\", \"value\": \"u\"}}}",
       true, {app("", "", "", "", "", "u")}},
      {"a blank DisplayName counts as empty",
       "{\"" + base + "\\\\A\": {\"DisplayName\": {\"type\": \"REG_SZ\", \"value\": \"   \"}, "
           "\"Publisher\": {\"type\": \"REG_SZ\", \"value\": \"P\"}}}",
       true, {app("", "", "P")}},
  };
  for (const auto& r : rows) {
    auto m = testing::machineFromJson("{\"registry\": " + r.registry + "}");
    testing::Recorder rec;
    auto apps = getApplications(rec.context(*m));
    EXPECT_EQ(apps.present, r.present) << r.name;
    EXPECT_EQ(apps.items, r.expected) << r.name;
    EXPECT_TRUE(rec.reports.empty()) << r.name;
  }
}

TEST(ModSSoftware, AFailureKeepsTheApplicationsReadSoFar) {
  auto m = testing::sampleMachine("winxp-pro.json");
  m->registry = std::make_unique<testing::FailingRegistry>(std::move(m->registry), "URLInfoAbout");
  testing::Recorder rec;
  auto apps = getApplications(rec.context(*m));
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].DisplayName, "Java(TM) 6 Update 20");
  EXPECT_EQ(apps[0].DisplayVersion, "6.0.200");
  EXPECT_EQ(apps[0].URLInfoAbout, "");
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].where, "QuorvanePro.modSSoftware.getApplications");
}

}  // namespace
}  // namespace quorvane::agent
