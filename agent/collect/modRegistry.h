// modRegistry: subkey enumeration and typed value reading of the registry,
// used by the installed-applications collector.
//
// getKeyValue turns a value into text by its type: text types as they are,
// REG_BINARY as upper-case hexadecimal pairs separated by one space, the two
// 32-bit number types as decimal; then the text is trimmed of spaces and
// every NUL is removed. A value that cannot be read is empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryStore.h"

namespace quorvane::agent {

// The root handle of "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG" (any case); 0 for anything else.
platform::RootKey resolveHkeyLong(std::string_view rootName);

// The non-empty parts joined with "\"; then each "\\" becomes "\" and each
// "/" becomes "\".
std::string CompileKeyString(std::string_view part1, std::string_view part2 = {},
                             std::string_view part3 = {});

struct SubKeyNames {
  std::vector<std::string> names;       // in enumeration order
  std::vector<bool> hasChildren;        // filled only when asked for
};

SubKeyNames getSubKeyNames(const platform::RegistryStore& store, std::string_view rootName,
                           std::string_view keyPath, bool withChildren);

// `keyPath` is joined with CompileKeyString first. `writeAccess` asks for
// the key with all access (0x3F) instead of read access (0x20019).
std::string getKeyValue(const platform::RegistryStore& store, platform::RootKey root,
                        std::string_view keyPath, std::string_view valueName,
                        bool writeAccess = false);

// The text of a raw value by its type, before trimming (pure).
std::string registryValueText(std::uint32_t type, std::string_view data);

// Removes leading and trailing spaces (only spaces).
std::string trimSpaces(std::string_view text);

}  // namespace quorvane::agent
