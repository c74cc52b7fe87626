#include "platform/linux/LinuxRegistry.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

std::string sample(const std::string& name) {
  return linux_backend::readTextFile(std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/linux/" + name)
      .value_or("");
}

std::string text(const RegistryStore& r, const std::string& key, const char* value) {
  auto v = r.queryValue(HKEY_LOCAL_MACHINE, key, value);
  if (!v) return "<absent>";
  EXPECT_EQ(v->type, REG_SZ);
  return v->data.substr(0, v->data.find('\0'));
}

TEST(LinuxRegistry, PackagesBecomeUninstallKeys) {
  RegistryTree tree;
  addUninstallKeys(tree, linux_backend::parseDpkgStatus(sample("dpkg-status")));
  const std::string base = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  std::vector<std::string> keys;
  for (std::uint32_t i = 0;; ++i) {
    auto k = tree.subKeyName(HKEY_LOCAL_MACHINE, base, i);
    if (!k) break;
    keys.push_back(*k);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"adduser", "libc6:amd64", "libc6:i386", "half-done"}));
  EXPECT_EQ(text(tree, base + "\\adduser", "DisplayName"), "adduser");
  EXPECT_EQ(text(tree, base + "\\adduser", "DisplayVersion"), "3.134");
  EXPECT_EQ(text(tree, base + "\\adduser", "UninstallString"), "dpkg --remove adduser");
  EXPECT_EQ(text(tree, base + "\\adduser", "URLInfoAbout"), "<absent>");
  EXPECT_EQ(text(tree, base + "\\libc6:i386", "DisplayName"), "libc6");
  EXPECT_EQ(text(tree, base + "\\libc6:i386", "UninstallString"), "dpkg --remove libc6:i386");
  EXPECT_EQ(text(tree, base + "\\LIBC6:AMD64", "URLInfoAbout"),
            "https://www.gnu.org/software/libc/libc.html");
  // UTF-8 of the database becomes Windows-1252.
  EXPECT_EQ(text(tree, base + "\\half-done", "Publisher"),
            "J\xE9r\xF4me Testeur <jerome@example.org>");
}

TEST(LinuxRegistry, WorkgroupFromTheNearestSource) {
  const auto hosts = sample("hosts");
  const auto resolv = sample("resolv.conf");
  const auto smb = sample("smb.conf");
  struct Row {
    const char* name;
    std::string host;
    std::optional<std::string> hosts, resolv, smb;
    const char* expected;
  } rows[] = {
      {"fully qualified host name", "pc7.office.example", hosts, resolv, smb, "office.example"},
      {"canonical name in /etc/hosts", "pc7", hosts, resolv, smb, "corp.example.org"},
      {"resolver's domain", "other", hosts, resolv, smb, "lan.example.net"},
      {"Samba workgroup", "other", hosts, std::nullopt, smb, "OFFICE"},
      {"nothing known", "other", std::nullopt, std::nullopt, std::nullopt, "workgroup"},
      {"host name ending in a dot", "pc.", std::nullopt, std::nullopt, std::nullopt, "workgroup"},
  };
  for (const auto& r : rows) EXPECT_EQ(workgroupOf(r.host, r.hosts, r.resolv, r.smb), r.expected) << r.name;
}

TEST(LinuxRegistry, TheNativeRegistryPresentsThisMachinesPackages) {
  auto machine = makeNativePlatform();
  auto status = linux_backend::readTextFile("/var/lib/dpkg/status");
  ASSERT_TRUE(status);
  auto packages = linux_backend::parseDpkgStatus(*status);
  ASSERT_FALSE(packages.empty());
  const std::string base = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  auto first = machine->registry->subKeyName(HKEY_LOCAL_MACHINE, base, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->substr(0, packages[0].name.size()), packages[0].name);
  EXPECT_FALSE(machine->registry->subKeyName(HKEY_LOCAL_MACHINE, base,
                                             static_cast<std::uint32_t>(packages.size())));
  EXPECT_TRUE(machine->registry
                  ->queryValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VXD\\VNETSUP",
                               "Workgroup")
                  .has_value());
}

}  // namespace
}  // namespace quorvane::platform
