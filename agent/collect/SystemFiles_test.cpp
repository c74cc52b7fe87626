// The shared system readers: the two forms of the version tests (raising for
// the software collectors, "neither" for the hardware collectors) and the
// system.ini entry texts.
#include "agent/collect/SystemFiles.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;
using testing::Recorder;

TEST(SystemFiles, VersionTestsByPlatformAndVersion) {
  struct Row {
    const char* name;
    const char* version;  // the "version" section, or nullptr for none
    bool nt, win95;
    long raised;  // error number of the raising isWinNT, 0 when it answers
  } rows[] = {
      {"xp", R"({"majorVersion": 5, "minorVersion": 1, "platformId": 2})", true, false, 0},
      {"nt4", R"({"majorVersion": 4, "minorVersion": 0, "platformId": 2})", true, false, 0},
      {"95", R"({"majorVersion": 4, "minorVersion": 0, "platformId": 1})", false, true, 0},
      {"98", R"({"majorVersion": 4, "minorVersion": 10, "platformId": 1})", false, false, 0},
      {"win32s", R"({"majorVersion": 4, "minorVersion": 0, "platformId": 0})", false, false, 0},
      {"no version section", nullptr, false, false, 5},
  };
  for (const auto& r : rows) {
    auto p = machineFromJson(r.version ? std::string(R"({"version": )") + r.version + "}" : "{}");
    EXPECT_EQ(isWinNT(*p), r.nt) << r.name;
    EXPECT_EQ(isWin95(*p), r.win95) << r.name;
    Recorder rec;
    auto ctx = rec.context(*p);
    bool answered = false, nt = false;
    runCollector(ctx, "modTest", "probe", [&] {
      nt = isWinNT(ctx);
      answered = true;
    });
    if (r.raised == 0) {
      EXPECT_TRUE(answered) << r.name;
      EXPECT_EQ(nt, r.nt) << r.name;
      EXPECT_TRUE(rec.reports.empty()) << r.name;
    } else {
      EXPECT_FALSE(answered) << r.name;
      ASSERT_EQ(rec.reports.size(), 1u) << r.name;
      EXPECT_EQ(rec.reports[0].number, r.raised) << r.name;
      EXPECT_EQ(rec.reports[0].where, "QuorvanePro.modTest.probe") << r.name;
    }
  }
}

TEST(SystemFiles, PlatformWithoutVersionService) {
  platform::Platform bare;
  EXPECT_FALSE(isWinNT(bare));
  EXPECT_FALSE(isWin95(bare));
  EXPECT_FALSE(basicVersion(bare).ok());
  Recorder rec;
  auto ctx = rec.context(bare);
  runCollector(ctx, "modTest", "probe", [&] { (void)isWinNT(ctx); });
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].number, kErrObjectNotSet);
}

TEST(SystemFiles, SystemIniEntryTexts) {
  auto p = machineFromJson(R"({"iniFiles": {"system.ini": {
      "boot": {"keyboard.drv": "KEYBOARD.DRV", "shell": ""}}}})");
  Recorder rec;
  auto ctx = rec.context(*p);
  struct Row {
    const char* section;
    const char* key;
    const char* expected;
  } rows[] = {
      {"boot", "keyboard.drv", "KEYBOARD.DRV"},
      {"BOOT", "Keyboard.Drv", "KEYBOARD.DRV"},  // names without regard to case
      {"boot", "shell", "Unknown"},              // present but empty
      {"boot", "mouse.drv", "None"},             // absent key
      {"386enh", "pagingdrive", "None"},         // absent section
  };
  for (const auto& r : rows) {
    EXPECT_EQ(strGetSysIni(*p->ini, r.section, r.key), r.expected) << r.section << "." << r.key;
    EXPECT_EQ(strGetSysIni(ctx, r.section, r.key), r.expected) << r.section << "." << r.key;
  }
  // msdos.sys is another file: the system.ini entries are not found there.
  EXPECT_EQ(strGetMsdosSys(ctx, "boot", "keyboard.drv"), "None");
}

}  // namespace
}  // namespace quorvane::agent
