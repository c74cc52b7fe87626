// Linux backend of KeyboardFacts, with its pure parsers.
//
// Sources: the XKB configuration of /etc/default/keyboard (XKBMODEL,
// XKBLAYOUT, XKBVARIANT; the first layout of a list is the active one),
// mapped to the Windows layout identifier; the keyboards of
// /proc/bus/input/devices (a PC keyboard is type 4, subtype 0, with 12
// function keys; no keyboard gives 0). The code pages are the ones the agent
// writes in: OEM 437, ANSI 1252. The caret is the frame-buffer console's
// cursor: it blinks every 200 ms when /sys/class/graphics/fbcon/cursor_blink
// is 1; without a blinking console cursor the blink time is 0.
// The driver is the kernel driver of the keyboard's input device
// (/sys<sysfs>/device/driver, its module link naming the module): the
// module file of modules.dep (a driver built into the kernel: the kernel
// image), the description and author of the module's modinfo entries (of
// the file when it is not compressed, of modules.builtin.modinfo for a
// built-in one), the version of /sys/module/<module>/version, else the
// kernel release's numbers. No keyboard device: the file is "None" and the
// other driver texts are empty.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/KeyboardFacts.h"

namespace quorvane::platform::linux_backend {

struct XkbConfig {
  std::string model;
  std::string layout;   // first layout of XKBLAYOUT
  std::string variant;  // first variant of XKBVARIANT
  friend bool operator==(const XkbConfig&, const XkbConfig&) = default;
};

// Shell-style assignments (KEY="value", KEY=value, comments).
XkbConfig parseKeyboardDefaults(std::string_view text);

// The Windows layout identifier of an XKB layout and variant ("us", "" ->
// 0x00000409; "us", "dvorak" -> 0x00010409); nullopt for a layout without one.
std::optional<std::uint32_t> windowsLayoutId(std::string_view layout, std::string_view variant);
// Eight upper-case hexadecimal digits.
std::string layoutIdText(std::uint32_t id);

struct InputDevice {
  std::string name;
  std::string handlers;  // "sysrq kbd event0 leds"
  std::string sysfs;     // "/devices/platform/i8042/serio0/input/input0"
  friend bool operator==(const InputDevice&, const InputDevice&) = default;
};
std::vector<InputDevice> parseInputDevices(std::string_view text);
// The first device with the "kbd" handler and "keyboard" in its name (power
// buttons have the handler too); nullopt when there is none.
std::optional<InputDevice> findKeyboard(const std::vector<InputDevice>& devices);

// The "key=value" entries of modinfo data (NUL-separated, as in a module's
// .modinfo section or modules.builtin.modinfo) whose key is `prefix` + `key`;
// the first value, nullopt when there is none.
std::optional<std::string> modinfoValue(std::string_view data, std::string_view prefix,
                                        std::string_view key);

// The path of module `module` in modules.dep text ("kernel/.../atkbd.ko:
// deps"), "-" and "_" alike; nullopt when it is not listed.
std::optional<std::string> modulePathFromDep(std::string_view modulesDep, std::string_view module);

// A version text as four numbers joined by "." ("2.3" -> "2.3.0.0",
// "6.1.0-13-amd64" -> "6.1.0.13"); empty when it starts with no number.
std::string fourPartVersion(std::string_view version);

// The driver facts of the machine below `root` for kernel release `release`.
KeyboardDriver readKeyboardDriver(const std::string& root, const std::string& release);

inline constexpr unsigned kFbconBlinkMilliseconds = 200;
// The caret blink time of an fbcon cursor_blink text ("1" blinks).
unsigned caretBlinkFromFbcon(std::string_view cursorBlink);

std::unique_ptr<KeyboardFacts> makeLinuxKeyboardFacts(std::string root = "/");

// The XKB configuration of the machine below `root` (empty fields when the
// machine has none).
XkbConfig readXkbConfig(const std::string& root = "/");

}  // namespace quorvane::platform::linux_backend
