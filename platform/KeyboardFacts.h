// KeyboardFacts: the keyboard and code-page queries of the system
// (GetKeyboardType, GetOEMCP, GetACP, GetKeyboardLayoutNameA,
// VerLanguageNameA, GetCaretBlinkTime).
//
// The repeat settings and the caret width come from SystemParameters, the
// keyboard model and driver file from IniFiles, the driver's version facts
// from the version-resource service; this service holds only what has no
// other home. Texts are 8-bit (Windows-1252).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvane::platform {

// The keyboard driver as a system names it without system.ini and a version
// resource (Linux: the kernel driver of the keyboard input device). Texts in
// the record's form; `date` and `time` are taken from `file` by the caller.
struct KeyboardDriver {
  std::string file;         // the driver's file, or "None" when there is no keyboard
  std::string description;  // empty when unknown
  std::string version;      // "major.minor.build.revision", empty when unknown
  std::string provider;     // empty when unknown
  friend bool operator==(const KeyboardDriver&, const KeyboardDriver&) = default;
};

class KeyboardFacts {
 public:
  virtual ~KeyboardFacts() = default;

  // GetKeyboardType(which): 0 type, 1 subtype, 2 number of function keys;
  // 0 when no keyboard is known.
  virtual int keyboardType(int which) const = 0;
  virtual unsigned oemCodePage() const = 0;
  virtual unsigned ansiCodePage() const = 0;
  // The active layout identifier, eight hexadecimal digits ("00000409");
  // empty when the system has none.
  virtual std::string layoutName() const = 0;
  // The language name of a language identifier; nullopt when the system
  // knows no name for it (VerLanguageNameA returning 0).
  virtual std::optional<std::string> languageName(std::uint32_t languageId) const = 0;
  // Caret blink time in milliseconds.
  virtual unsigned caretBlinkTime() const = 0;
  // The driver facts of a system that has them directly; nullopt where the
  // driver is named in system.ini [boot] keyboard.drv and described by its
  // version resource (Windows, the fixture).
  virtual std::optional<KeyboardDriver> driver() const { return std::nullopt; }
};

}  // namespace quorvane::platform
