// The keyboard facts of the Linux backend: the XKB configuration and
// layouts, input devices, the driver module of the keyboard and its version.
#include "platform/linux/LinuxKeyboard.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxKeyboard, XkbConfigurationAndLayouts) {
  XkbConfig cfg = readXkbConfig(kRoot);
  EXPECT_EQ(cfg, (XkbConfig{"pc105", "de", "nodeadkeys"}));
  EXPECT_EQ(parseKeyboardDefaults("export XKBLAYOUT='us'\n#XKBMODEL=x\nXKBMODEL = pc104 \n"),
            (XkbConfig{"pc104", "us", ""}));
  EXPECT_EQ(parseKeyboardDefaults("XKBLAYOUT=\"\nXKBMODEL\n"), (XkbConfig{"", "\"", ""}));
  struct Row { const char* layout; const char* variant; std::optional<std::uint32_t> id; };
  const Row rows[] = {{"us", "", 0x00000409},       {"us", "dvorak", 0x00010409},
                      {"de", "nodeadkeys", 0x00000407}, {"gb", "extd", 0x00000809},
                      {"ch", "fr", 0x0000100C},     {"ch", "", 0x00000807},
                      {"xx", "", std::nullopt},     {"", "", std::nullopt}};
  for (const auto& r : rows) EXPECT_EQ(windowsLayoutId(r.layout, r.variant), r.id) << r.layout << "/" << r.variant;
  EXPECT_EQ(layoutIdText(0x409), "00000409");
  EXPECT_EQ(layoutIdText(0x10409), "00010409");
}

TEST(LinuxKeyboard, FactsOfTheSampleMachineAndOfAMachineWithout) {
  auto kb = makeLinuxKeyboardFacts(kRoot);
  EXPECT_EQ(kb->keyboardType(0), 4);
  EXPECT_EQ(kb->keyboardType(1), 0);
  EXPECT_EQ(kb->keyboardType(2), 12);
  EXPECT_EQ(kb->oemCodePage(), 437u);
  EXPECT_EQ(kb->ansiCodePage(), 1252u);
  EXPECT_EQ(kb->layoutName(), "00000407");
  EXPECT_EQ(kb->languageName(0x407), "German (Germany)");
  EXPECT_EQ(kb->languageName(0x10409), "English (United States)");
  EXPECT_EQ(kb->languageName(0x7777), std::nullopt);
  EXPECT_EQ(kb->caretBlinkTime(), 200u);  // the sample's console cursor blinks
  auto none = makeLinuxKeyboardFacts(kDir + "no-such-root");
  EXPECT_EQ(none->keyboardType(0), 0);
  EXPECT_EQ(none->keyboardType(2), 0);
  EXPECT_EQ(none->layoutName(), "");
  EXPECT_EQ(none->caretBlinkTime(), 0u);
  EXPECT_EQ(caretBlinkFromFbcon("0\n"), 0u);
  EXPECT_EQ(caretBlinkFromFbcon("1\n"), 200u);
  EXPECT_EQ(caretBlinkFromFbcon(""), 0u);

  auto devices = parseInputDevices(*readWholeFile(kRoot + "/proc/bus/input/devices"));
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "Power Button");
  auto keyboard = findKeyboard(devices);
  ASSERT_TRUE(keyboard);
  EXPECT_EQ(keyboard->sysfs, "/devices/platform/i8042/serio0/input/input1");
  EXPECT_FALSE(findKeyboard({devices[0]}));  // a power button has the kbd handler too
}

TEST(LinuxKeyboard, ModinfoDepAndVersionTexts) {
  const std::string modinfo("license=GPL\0author=Vojtech Pavlik <vojtech@suse.cz>\0"
                            "description=AT and PS/2 keyboard driver\0descriptionx=no\0",
                            108);
  const std::string builtin("usbhid.author=Jiri Kosina\0atkbd.description=AT keyboard\0"
                            "atkbd.author=Vojtech\0", 77);
  struct Row {
    const char* name;
    std::string data, prefix, key;
    std::optional<std::string> expected;
  } rows[] = {
      {"description of a module file", modinfo, "", "description", "AT and PS/2 keyboard driver"},
      {"author with its address", modinfo, "", "author", "Vojtech Pavlik <vojtech@suse.cz>"},
      {"a key that is not there", modinfo, "", "version", std::nullopt},
      {"a built-in module's entry by prefix", builtin, "atkbd.", "author", "Vojtech"},
      {"another module's entry is not taken", builtin, "atkbd.", "description", "AT keyboard"},
      {"no entry of the module", builtin, "i8042.", "author", std::nullopt},
      {"empty data", "", "", "author", std::nullopt},
      {"a key without '='", std::string("author\0", 7), "", "author", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(modinfoValue(r.data, r.prefix, r.key), r.expected) << r.name;

  const std::string dep =
      "kernel/drivers/hid/hid-generic.ko.xz: kernel/drivers/hid/hid.ko.xz\n"
      "kernel/drivers/input/keyboard/atkbd.ko:\n"
      "broken line without colon\n";
  struct DepRow {
    const char* name;
    const char* module;
    std::optional<std::string> expected;
  } depRows[] = {
      {"plain module", "atkbd", "kernel/drivers/input/keyboard/atkbd.ko"},
      {"underscore finds the dash", "hid_generic", "kernel/drivers/hid/hid-generic.ko.xz"},
      {"a dependency is not a listing", "hid", std::nullopt},
      {"not listed", "usbhid", std::nullopt},
  };
  for (const auto& r : depRows) EXPECT_EQ(modulePathFromDep(dep, r.module), r.expected) << r.name;

  struct VerRow {
    const char* text;
    const char* expected;
  } verRows[] = {{"2.3", "2.3.0.0"},           {"6.1.0-13-amd64", "6.1.0.13"},
                 {"1.2.3.4.5", "1.2.3.4"},     {"", ""},
                 {"v1.0", ""},                 {"99999999999999999999.1", "999999999.1.0.0"}};
  for (const auto& r : verRows) EXPECT_EQ(fourPartVersion(r.text), r.expected) << r.text;
}

// A machine root with one keyboard behind the driver `driver` of module
// `module` (empty: built into the kernel).
struct KeyboardRoot {
  std::filesystem::path dir;
  explicit KeyboardRoot(const std::string& name) {
    dir = std::filesystem::temp_directory_path() /
          ("quorvane-kbd-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  ~KeyboardRoot() { std::filesystem::remove_all(dir); }
  void write(const std::string& rel, const std::string& text) const {
    std::filesystem::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
  void link(const std::string& rel, const std::string& target) const {
    std::filesystem::create_directories((dir / rel).parent_path());
    std::filesystem::create_directory_symlink(dir / target, dir / rel);
  }
  void keyboard(const std::string& driver, const std::string& module) const {
    write("proc/bus/input/devices",
          "N: Name=\"AT Translated Set 2 keyboard\"\nS: Sysfs=/devices/serio0/input/input1\n"
          "H: Handlers=sysrq kbd event1\n\n");
    std::filesystem::create_directories(dir / "sys/bus/serio/drivers" / driver);
    link("sys/devices/serio0/input/input1/device", "sys/devices/serio0");
    link("sys/devices/serio0/driver", "sys/bus/serio/drivers/" + driver);
    if (!module.empty()) {
      std::filesystem::create_directories(dir / "sys/module" / module);
      link("sys/bus/serio/drivers/" + driver + "/module", "sys/module/" + module);
    }
  }
};

TEST(LinuxKeyboard, TheDriverOfTheKeyboardDevice) {
  const std::string rel = "6.1.0-13-amd64";
  const std::string mods = "lib/modules/" + rel + "/";
  {
    SCOPED_TRACE("a loadable module with a version of its own");
    KeyboardRoot r("module");
    r.keyboard("atkbd", "atkbd");
    r.write("sys/module/atkbd/version", "2.3\n");
    r.write(mods + "modules.dep", "kernel/drivers/input/keyboard/atkbd.ko:\n");
    r.write(mods + "kernel/drivers/input/keyboard/atkbd.ko",
            std::string("\x7f" "ELF\0\0author=J\xC3\xBCrgen\0description=AT keyboard\0", 45));
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/lib/modules/" + rel + "/kernel/drivers/input/keyboard/atkbd.ko",
                              "AT keyboard", "2.3.0.0", "J\xFCrgen"}));
  }
  {
    SCOPED_TRACE("a compressed module: no modinfo, the kernel's version");
    KeyboardRoot r("xz");
    r.keyboard("hid-generic", "hid_generic");
    r.write(mods + "modules.dep", "kernel/drivers/hid/hid-generic.ko.xz:\n");
    r.write(mods + "kernel/drivers/hid/hid-generic.ko.xz", "\xFD" "7zXZ");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/lib/modules/" + rel + "/kernel/drivers/hid/hid-generic.ko.xz", "",
                              "6.1.0.13", ""}));
  }
  {
    SCOPED_TRACE("built into the kernel");
    KeyboardRoot r("builtin");
    r.keyboard("atkbd", "");
    r.write(mods + "modules.builtin.modinfo",
            std::string("i8042.author=X\0atkbd.description=AT and PS/2 keyboard driver\0", 61));
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/boot/vmlinuz-" + rel, "AT and PS/2 keyboard driver", "6.1.0.13", ""}));
  }
  {
    SCOPED_TRACE("no keyboard device at all");
    KeyboardRoot r("none");
    r.write("proc/bus/input/devices", "N: Name=\"Power Button\"\nH: Handlers=kbd event0\n\n");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel), (KeyboardDriver{"None", "", "", ""}));
  }
  {
    SCOPED_TRACE("a keyboard whose device has no driver link");
    KeyboardRoot r("nodriver");
    r.write("proc/bus/input/devices",
            "N: Name=\"USB Keyboard\"\nS: Sysfs=/devices/usb1/input/input3\nH: Handlers=kbd\n\n");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel), (KeyboardDriver{"None", "", "", ""}));
  }
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
