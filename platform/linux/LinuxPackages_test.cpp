// The package databases beside dpkg: the pure parsers fed with hostile and
// ordinary texts, machine roots made at test time for Arch, Alpine, a
// Flatpak and a snap installation, and a real rpm database built with
// rpmbuild and rpm in an empty --dbpath, compared with `rpm -qa`.
#include "platform/linux/LinuxPackages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/RegistryTree.h"
#include "platform/linux/LinuxRegistry.h"

namespace quorvane::platform::linux_backend {
namespace {

namespace fs = std::filesystem;

// A temporary machine root, removed at the end also when a check fails.
struct TempRoot {
  fs::path dir;
  explicit TempRoot(const std::string& name) {
    dir = fs::temp_directory_path() / ("quorvane-pkg-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~TempRoot() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string root() const { return dir.string(); }
  void write(const std::string& rel, const std::string& text) const {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
  void link(const std::string& rel, const std::string& target) const {
    fs::create_directories((dir / rel).parent_path());
    fs::create_symlink(target, dir / rel);
  }
};

InstalledPackage pkg(std::string name, std::string version, std::string publisher, std::string url,
                     std::string location, std::string uninstall) {
  return {std::move(name), std::move(version), std::move(publisher), std::move(url),
          std::move(location), std::move(uninstall)};
}

TEST(LinuxPackages, PacmanDescTexts) {
  struct Row {
    const char* name;
    std::string text;
    std::optional<InstalledPackage> expected;
  } rows[] = {
      {"ordinary",
       "%NAME%\nbash\n\n%VERSION%\n5.2.015-1\n\n%DESC%\nThe GNU Bourne Again shell\n\n"
       "%URL%\nhttps://www.gnu.org/software/bash/\n\n%PACKAGER%\nFelix Yan <felixonmars@archlinux.org>\n\n",
       pkg("bash", "5.2.015-1", "Felix Yan <felixonmars@archlinux.org>", "https://www.gnu.org/software/bash/",
           "", "pacman -R bash")},
      {"CR LF lines, no URL", "%NAME%\r\nzlib\r\n\r\n%VERSION%\r\n1:1.3-1\r\n",
       pkg("zlib", "1:1.3-1", "", "", "", "pacman -R zlib")},
      {"only the first line of a section", "%NAME%\na\nb\n\n%VERSION%\n1\n2\n", pkg("a", "1", "", "", "", "pacman -R a")},
      {"no name section", "%VERSION%\n1.0\n", std::nullopt},
      {"an empty name", "%NAME%\n\n%VERSION%\n1.0\n", std::nullopt},
      {"empty file", "", std::nullopt},
      {"a value that looks like a section", "%NAME%\n%x%\n", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(parsePacmanDesc(r.text), r.expected) << r.name;
}

TEST(LinuxPackages, ApkInstalledTexts) {
  struct Row {
    const char* name;
    std::string text;
    std::vector<InstalledPackage> expected;
  } rows[] = {
      {"two packages",
       "C:Q1abc=\nP:musl\nV:1.2.4-r2\nA:x86_64\nT:the musl c library\nU:https://musl.libc.org/\n"
       "m:Timo Ter\xC3\xA4s <timo.teras@iki.fi>\no:musl\n\nP:busybox\nV:1.36.1-r5\nm:S\xC3\xB6ren\n\n",
       {pkg("musl", "1.2.4-r2", "Timo Ter\xC3\xA4s <timo.teras@iki.fi>", "https://musl.libc.org/", "", "apk del musl"),
        pkg("busybox", "1.36.1-r5", "S\xC3\xB6ren", "", "", "apk del busybox")}},
      {"no closing blank line", "P:zlib\nV:1.3-r0", {pkg("zlib", "1.3-r0", "", "", "", "apk del zlib")}},
      {"a block without a name is left out", "V:1.0\nU:x\n\nP:a\n", {pkg("a", "", "", "", "", "apk del a")}},
      {"garbage lines", "this is not\n:\nP\n\n\n", {}},
      {"empty", "", {}},
  };
  for (const auto& r : rows) EXPECT_EQ(parseApkInstalled(r.text), r.expected) << r.name;
}

TEST(LinuxPackages, SnapYamlAndAppStreamTexts) {
  struct Row {
    const char* name;
    std::string text;
    std::optional<InstalledPackage> expected;
  } rows[] = {
      {"ordinary", "name: hello\nversion: '2.10'\nsummary: GNU Hello\nwebsite: https://example.org\napps:\n  hello:\n    command: bin/hello\n",
       pkg("hello", "2.10", "", "https://example.org", "/snap/hello/42", "snap remove hello")},
      {"nested keys do not count", "apps:\n  name: nested\nname: \"core\"\nversion: 16-2.61 # a comment\n",
       pkg("core", "16-2.61", "", "", "/snap/hello/42", "snap remove core")},
      {"no name", "version: 1\n", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(parseSnapYaml(r.text, "/snap/hello/42"), r.expected) << r.name;

  const std::string appstream =
      "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\">\n"
      "  <id>org.example.Tool</id>\n  <name>Tool</name>\n"
      "  <developer_name xml:lang=\"de\">Beispiel</developer_name>\n"
      "  <developer_name>Example &amp; Co</developer_name>\n"
      "  <url type=\"bugtracker\">https://example.org/bugs</url>\n"
      "  <url type=\"homepage\">https://example.org/</url>\n"
      "  <releases><release version=\"3.1\" date=\"2024-01-01\"/><release version=\"3.0\"/></releases>\n"
      "</component>\n";
  struct XmlRow {
    const char* name;
    std::optional<std::string> got, expected;
  } xmlRows[] = {
      {"translated names are skipped", xmlElementText(appstream, "developer_name"), "Example & Co"},
      {"the homepage among the URLs", xmlElementText(appstream, "url", "type=\"homepage\""), "https://example.org/"},
      {"the first release", xmlAttribute(appstream, "release", "version"), "3.1"},
      {"<releases> is not <release>", xmlAttribute(appstream, "releases", "version"), std::nullopt},
      {"an absent element", xmlElementText(appstream, "project_license"), std::nullopt},
      {"an element never closed", xmlElementText("<name>open", "name"), std::nullopt},
      {"a tag never closed", xmlAttribute("<release version=\"1", "release", "version"), std::nullopt},
      {"an attribute name inside another", xmlAttribute("<release xversion=\"9\">", "release", "version"), std::nullopt},
  };
  for (const auto& r : xmlRows) EXPECT_EQ(r.got, r.expected) << r.name;

  EXPECT_EQ(flatpakApplication("org.example.Tool", "stable", appstream, "/d"),
            pkg("org.example.Tool", "3.1", "Example & Co", "https://example.org/", "/d",
                "flatpak uninstall --system org.example.Tool"));
  EXPECT_EQ(flatpakApplication("org.example.Bare", "beta", std::nullopt, "/d"),
            pkg("org.example.Bare", "beta", "", "", "/d", "flatpak uninstall --system org.example.Bare"));
  EXPECT_EQ(flatpakApplication("a.B", "stable", "<developer><name>Dev</name></developer>", "/d").publisher, "Dev");
}

TEST(LinuxPackages, MachineRootsOfEachDistribution) {
  TempRoot arch("arch");
  arch.write("var/lib/pacman/local/zlib-1:1.3-1/desc", "%NAME%\nzlib\n%VERSION%\n1:1.3-1\n");
  arch.write("var/lib/pacman/local/bash-5.2-1/desc", "%NAME%\nbash\n\n%VERSION%\n5.2-1\n\n%PACKAGER%\nFelix\n");
  arch.write("var/lib/pacman/local/ALPM_DB_VERSION", "9\n");
  arch.write("var/lib/pacman/local/broken-1-1/files", "%FILES%\n");

  TempRoot alpine("alpine");
  alpine.write("lib/apk/db/installed", "P:musl\nV:1.2.4-r2\n\nP:alpine-baselayout\nV:3.4.3-r1\n");

  TempRoot flatpak("flatpak");
  const std::string app = "var/lib/flatpak/app/org.example.Tool/";
  flatpak.link(app + "current", "x86_64/stable");
  flatpak.link(app + "x86_64/stable/active", "0123abcd");
  flatpak.write(app + "x86_64/stable/0123abcd/files/share/metainfo/org.example.Tool.metainfo.xml",
                "<component><developer_name>Example</developer_name><releases><release version=\"3.1\"/></releases></component>");
  flatpak.link("var/lib/flatpak/app/org.example.Old/current", "x86_64/beta");
  flatpak.link("var/lib/flatpak/app/org.example.Old/x86_64/beta/active", "feed");
  fs::create_directories(flatpak.dir / "var/lib/flatpak/app/org.example.Old/x86_64/beta/feed");
  fs::create_directories(flatpak.dir / "var/lib/flatpak/app/org.example.Gone");  // no current link

  TempRoot snap("snap");
  snap.link("snap/hello/current", "42");
  snap.write("snap/hello/42/meta/snap.yaml", "name: hello\nversion: 2.10\n");
  snap.link("snap/core/current", "x1");
  snap.write("snap/core/x1/meta/snap.yaml", "name: core\nversion: 16\n");
  fs::create_directories(snap.dir / "snap/bin");  // /snap/bin holds the commands, no snap

  TempRoot empty("empty");

  struct Row {
    const char* name;
    std::vector<InstalledPackage> got, expected;
  } rows[] = {
      {"Arch: the local database in name order",
       readPacmanPackages(arch.root()),
       {pkg("bash", "5.2-1", "Felix", "", "", "pacman -R bash"), pkg("zlib", "1:1.3-1", "", "", "", "pacman -R zlib")}},
      {"Alpine: the installed database in its order",
       readApkPackages(alpine.root()),
       {pkg("musl", "1.2.4-r2", "", "", "", "apk del musl"),
        pkg("alpine-baselayout", "3.4.3-r1", "", "", "", "apk del alpine-baselayout")}},
      {"Flatpak: deployed applications with their folders",
       readFlatpakApplications(flatpak.root()),
       {pkg("org.example.Old", "beta", "", "", "/var/lib/flatpak/app/org.example.Old/x86_64/beta/feed",
            "flatpak uninstall --system org.example.Old"),
        pkg("org.example.Tool", "3.1", "Example", "", "/var/lib/flatpak/app/org.example.Tool/x86_64/stable/0123abcd",
            "flatpak uninstall --system org.example.Tool")}},
      {"snap: the current revisions",
       readSnapPackages(snap.root()),
       {pkg("core", "16", "", "", "/snap/core/x1", "snap remove core"),
        pkg("hello", "2.10", "", "", "/snap/hello/42", "snap remove hello")}},
      {"a machine without any of them: pacman", readPacmanPackages(empty.root()), {}},
      {"... apk", readApkPackages(empty.root()), {}},
      {"... Flatpak", readFlatpakApplications(empty.root()), {}},
      {"... snap", readSnapPackages(empty.root()), {}},
      {"... rpm", readRpmPackages(empty.root()), {}},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.expected) << r.name;
}

TEST(LinuxPackages, OneListAfterDpkgWithNamesKeptApart) {
  RegistryTree tree;
  addUninstallKeys(tree, {{"bash", "amd64", "5.2-1", "Debian", "", "installed"}});
  addPackageKeys(tree, {pkg("bash", "5.2-1", "", "", "", "pacman -R bash"),
                        pkg("gr\xC3\xBC\xC3\x9F" "e", "1", "S\xC3\xB6ren", "", "/opt/x", "snap remove gr\xC3\xBC\xC3\x9F" "e")},
                 "snap");
  addPackageKeys(tree, {}, "apk");
  const std::string base = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  std::vector<std::string> keys;
  for (std::uint32_t i = 0; auto k = tree.subKeyName(HKEY_LOCAL_MACHINE, base, i); ++i) keys.push_back(*k);
  EXPECT_EQ(keys, (std::vector<std::string>{"bash", "bash (snap)", "gr\xFC\xDF" "e"}));
  // REG_SZ data keep their closing NUL.
  auto sz = [](std::string text) { return text + '\0'; };
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, base + "\\bash (snap)", "UninstallString")->data, sz("pacman -R bash"));
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, base + "\\gr\xFC\xDF" "e", "Publisher")->data, sz("S\xF6ren"));
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, base + "\\gr\xFC\xDF" "e", "InstallLocation")->data, sz("/opt/x"));
  EXPECT_FALSE(tree.queryValue(HKEY_LOCAL_MACHINE, base + "\\bash (snap)", "URLInfoAbout"));
}

// ---- rpm: a real database ----

std::string runOutput(const std::string& command) {
  std::string out;
  if (FILE* f = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    ::pclose(f);
  }
  return out;
}

void buildRpm(const TempRoot& work, const std::string& name, const std::string& header) {
  const std::string recipe = "recipes/" + name + ".rpmrecipe";
  work.write(recipe, "Name: " + name + "\nVersion: 1.0\nRelease: 3\nSummary: a tiny test package\n"
                   "License: MIT\nBuildArch: noarch\n" + header +
                   "\n%description\nA tiny package of the rpm reader's test.\n\n%files\n");
  const std::string top = work.root();
  const std::string cmd = "rpmbuild --quiet -bb --define '_topdir " + top + "' --define '_dbpath " + top +
                          "/builddb' '" + top + "/" + recipe + "' > '" + top + "/build.log' 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << runOutput("cat '" + top + "/build.log'");
}

TEST(LinuxPackagesRpm, ARealDatabaseReadsAsRpmListsIt) {
  ASSERT_EQ(std::system("command -v rpmbuild > /dev/null && command -v rpm > /dev/null"), 0)
      << "rpmbuild and rpm are needed (tools/install-deps.sh test)";
  TempRoot work("rpm");
  buildRpm(work, "tiny-vendor", "Vendor: Example Org\nPackager: Pat <pat@example.org>\nURL: https://example.org/tiny\n");
  buildRpm(work, "tiny-epoch", "Epoch: 2\nPackager: J\xC3\xBCrgen <j@example.org>\n");
  buildRpm(work, "tiny-bare", "");
  // The machine's database sits where a Fedora machine keeps it.
  const std::string db = work.root() + "/var/lib/rpm";
  fs::create_directories(db);
  for (const char* name : {"tiny-vendor", "tiny-epoch", "tiny-bare"}) {
    const std::string cmd = "rpm --dbpath '" + db + "' --justdb --nodeps --noscripts -i '" + work.root() +
                            "/RPMS/noarch/" + name + "-1.0-3.noarch.rpm' > /dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  const std::string listed = runOutput(
      "rpm -qa --dbpath '" + db + "' --qf '%{NAME}|%|EPOCH?{%{EPOCH}:}:{}|%{VERSION}-%{RELEASE}|"
      "%|VENDOR?{%{VENDOR}}:{%|PACKAGER?{%{PACKAGER}}:{}|}||%|URL?{%{URL}}:{}|\\n' 2>/dev/null");
  std::vector<InstalledPackage> expected;
  std::istringstream in(listed);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::size_t pos = 0, bar;
    while ((bar = line.find('|', pos)) != std::string::npos) {
      f.push_back(line.substr(pos, bar - pos));
      pos = bar + 1;
    }
    f.push_back(line.substr(pos));
    ASSERT_EQ(f.size(), 4u) << line;
    expected.push_back(pkg(f[0], f[1], f[2], f[3], "", "rpm -e " + f[0]));
  }
  ASSERT_EQ(expected.size(), 3u) << listed;
  EXPECT_EQ(readRpmPackages(work.root()), expected) << "the database below a machine root";
  EXPECT_EQ(readRpmPackages("/nonexistent", db), expected) << "the database named by its path";
  // What rpm said, field by field, so that a wrong query above cannot pass unnoticed.
  std::map<std::string, InstalledPackage> byName;
  for (const auto& p : expected) byName[p.name] = p;
  EXPECT_EQ(byName["tiny-vendor"], pkg("tiny-vendor", "1.0-3", "Example Org", "https://example.org/tiny", "", "rpm -e tiny-vendor"));
  EXPECT_EQ(byName["tiny-epoch"], pkg("tiny-epoch", "2:1.0-3", "J\xC3\xBCrgen <j@example.org>", "", "", "rpm -e tiny-epoch"));
  EXPECT_EQ(byName["tiny-bare"], pkg("tiny-bare", "1.0-3", "", "", "", "rpm -e tiny-bare"));
}

TEST(LinuxPackagesRpm, VersionTexts) {
  EXPECT_EQ(rpmVersionText(std::nullopt, "1.0", "3.fc39"), "1.0-3.fc39");
  EXPECT_EQ(rpmVersionText(0, "1.0", "3"), "0:1.0-3");
  EXPECT_EQ(rpmVersionText(12, "2.4", ""), "12:2.4");
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
