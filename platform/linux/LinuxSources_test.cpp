#include "platform/linux/LinuxSources.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvane::platform::linux_backend {
namespace {

std::string sample(const std::string& name) {
  auto text = readTextFile(std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/linux/" + name);
  if (!text) ADD_FAILURE() << "missing sample " << name;
  return text.value_or("");
}

TEST(LinuxSources, ReadTextFileReadsProcFilesWhoseSizeIsZero) {
  auto uptime = readTextFile("/proc/uptime");
  ASSERT_TRUE(uptime);
  EXPECT_FALSE(uptime->empty());
  EXPECT_EQ(readTextFile("/nonexistent/quorvane"), std::nullopt);
}

TEST(LinuxSources, OsReleasePrettyName) {
  EXPECT_EQ(parseOsReleasePrettyName(sample("os-release")), "Debian GNU/Linux 12 (bookworm)");
  struct Row {
    const char* name;
    const char* text;
    std::optional<std::string> expected;
  } rows[] = {
      {"unquoted", "PRETTY_NAME=Alpine\n", "Alpine"},
      {"single quotes", "PRETTY_NAME='My OS 1'\n", "My OS 1"},
      {"escapes", "PRETTY_NAME=\"A \\\"quoted\\\" \\$name\"\n", "A \"quoted\" $name"},
      {"last wins", "PRETTY_NAME=\"one\"\nPRETTY_NAME=\"two\"\n", "two"},
      {"missing", "NAME=x\n", std::nullopt},
      {"empty", "PRETTY_NAME=\"\"\n", std::nullopt},
      {"CR LF lines", "PRETTY_NAME=\"Win\"\r\n", "Win"},
      {"prefix is not enough", "XPRETTY_NAME=no\n", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(parseOsReleasePrettyName(r.text), r.expected) << r.name;
}

TEST(LinuxSources, KernelRelease) {
  struct Row {
    const char* release;
    std::optional<KernelRelease> expected;
    const char* text;
  } rows[] = {
      {"6.1.0-18-amd64", KernelRelease{6, 1, 0}, "6.1 Build 0"},
      {"6.18.44-fc-v1374", KernelRelease{6, 18, 44}, "6.18 Build 44"},
      {"5.10", KernelRelease{5, 10, 0}, "5.10 Build 0"},
      {"4", KernelRelease{4, 0, 0}, "4.0 Build 0"},
      {"garbage", std::nullopt, ""},
  };
  for (const auto& r : rows) {
    auto k = parseKernelRelease(r.release);
    EXPECT_EQ(k, r.expected) << r.release;
    if (k) {
      EXPECT_EQ(kernelVersionText(*k), r.text) << r.release;
    }
  }
}

TEST(LinuxSources, UptimeMilliseconds) {
  struct Row {
    const char* text;
    std::optional<std::uint64_t> ms;
  } rows[] = {
      {"350735.47 234388.90\n", 350735470},
      {"90061.001 1.00\n", 90061001},  // more digits than the kernel writes
      {"0.00 0.00\n", 0},
      {"2147484.65 1.0\n", 2147484650ull},  // beyond 2^31 ms: stays positive
      {"5000000000.5 0\n", 5000000000500ull},
      {"", std::nullopt},
      {"abc 1\n", std::nullopt},
      {"12x 1\n", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(parseUptimeMilliseconds(r.text), r.ms) << r.text;
}

TEST(LinuxSources, MachineId) {
  EXPECT_EQ(parseMachineId("0123456789abcdef0123456789abcdef\n"), "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(parseMachineId("uninitialized\n"), std::nullopt);
  EXPECT_EQ(parseMachineId(""), std::nullopt);
  EXPECT_EQ(parseMachineId("0123456789abcdef0123456789abcdeg"), std::nullopt);
}

TEST(LinuxSources, FirstSwapArea) {
  EXPECT_EQ(parseFirstSwapArea(sample("swaps")), "/swap file");
  EXPECT_EQ(parseFirstSwapArea(sample("swaps-none")), std::nullopt);
  EXPECT_EQ(parseFirstSwapArea(""), std::nullopt);
}

TEST(LinuxSources, DpkgStatusKeepsInstalledPackagesInDatabaseOrder) {
  auto packages = parseDpkgStatus(sample("dpkg-status"));
  ASSERT_EQ(packages.size(), 4u);
  EXPECT_EQ(packages[0], (DpkgPackage{"adduser", "all", "3.134",
                                      "Debian Adduser Developers <adduser@packages.debian.org>", "",
                                      "installed"}));
  EXPECT_EQ(packages[1].name, "libc6");
  EXPECT_EQ(packages[1].architecture, "amd64");
  EXPECT_EQ(packages[1].homepage, "https://www.gnu.org/software/libc/libc.html");
  EXPECT_EQ(packages[2].architecture, "i386");
  EXPECT_EQ(packages[3].name, "half-done");
  EXPECT_EQ(packages[3].status, "half-configured");
  EXPECT_EQ(packages[3].maintainer, "Jérôme Testeur <jerome@example.org>");
  // No trailing blank line, CR LF endings.
  auto one = parseDpkgStatus("Package: x\r\nStatus: install ok installed\r\nVersion: 1\r\n");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].version, "1");
  EXPECT_TRUE(parseDpkgStatus("").empty());
  EXPECT_TRUE(parseDpkgStatus("Status: install ok installed\n").empty());  // no name
}

TEST(LinuxSources, PasswdAndGroups) {
  const std::string passwd = sample("passwd");
  auto alice = parsePasswdByUid(passwd, 1000);
  ASSERT_TRUE(alice);
  EXPECT_EQ(alice->name, "alice");
  EXPECT_EQ(alice->shell, "/usr/bin/zsh");
  EXPECT_EQ(parsePasswdByUid(passwd, 1001)->shell, "");
  EXPECT_EQ(parsePasswdByUid(passwd, 4242), std::nullopt);
  EXPECT_EQ(parsePasswdByUid(passwd, 0)->name, "root");

  const std::string group = sample("group");
  struct Row {
    const char* group;
    const char* user;
    bool member;
  } rows[] = {
      {"sudo", "alice", true},  {"sudo", "carol", true},  {"sudo", "bob", false},
      {"users", "bob", true},   {"wheel", "alice", false}, {"admin", "erin", true},
      {"admin", "dave", true},  {"nogroup", "alice", false}, {"sudo", "", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(groupListsMember(group, r.group, r.user), r.member) << r.group << "/" << r.user;

  EXPECT_TRUE(isAdministratorAccount(0, {}));
  EXPECT_TRUE(isAdministratorAccount(1000, {"alice", "sudo"}));
  EXPECT_TRUE(isAdministratorAccount(1000, {"wheel"}));
  EXPECT_TRUE(isAdministratorAccount(1000, {"admin"}));
  EXPECT_FALSE(isAdministratorAccount(1000, {"alice", "users", "sudoers"}));
}

TEST(LinuxSources, DomainAndWorkgroup) {
  EXPECT_EQ(parseSambaWorkgroup(sample("smb.conf")), "OFFICE");
  EXPECT_EQ(parseSambaWorkgroup("[homes]\nworkgroup = X\n"), std::nullopt);
  EXPECT_EQ(parseHostsDomain(sample("hosts"), "pc7"), "corp.example.org");
  EXPECT_EQ(parseHostsDomain(sample("hosts"), "PC7"), "corp.example.org");
  EXPECT_EQ(parseHostsDomain(sample("hosts"), "localhost"), std::nullopt);
  EXPECT_EQ(parseHostsDomain(sample("hosts"), "other"), std::nullopt);
  EXPECT_EQ(parseHostsDomain(sample("hosts"), ""), std::nullopt);
  EXPECT_EQ(parseResolvDomain(sample("resolv.conf")), "lan.example.net");
  EXPECT_EQ(parseResolvDomain("domain corp.example\nsearch x.example\n"), "corp.example");
  EXPECT_EQ(parseResolvDomain("search .\n"), std::nullopt);
  EXPECT_EQ(parseResolvDomain("nameserver 192.0.2.1\n"), std::nullopt);
}

TEST(LinuxSources, BootModeAndScreenReader) {
  struct Row {
    const char* cmdline;
    int mode;
  } rows[] = {
      {"BOOT_IMAGE=/vmlinuz root=/dev/sda1 ro quiet\n", 0},
      {"root=/dev/sda1 ro single\n", 1},
      {"root=/dev/sda1 systemd.unit=rescue.target", 1},
      {"root=/dev/sda1 systemd.unit=emergency.target", 1},
      {"root=/dev/sda1 systemd.unit=graphical.target", 0},
      {"console=ttyS1 root=/dev/vda", 0},
      {"", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(parseBootMode(r.cmdline), r.mode) << r.cmdline;
  EXPECT_TRUE(screenReaderRunning({"bash", "orca\n"}));
  EXPECT_FALSE(screenReaderRunning({"bash", "orcad", "systemd"}));
  EXPECT_FALSE(screenReaderRunning({}));
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
