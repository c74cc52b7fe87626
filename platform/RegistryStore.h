// RegistryStore: the registry as the collectors see it (RegOpenKeyExA,
// RegEnumKeyA, RegQueryValueExA).
//
// Keys are named by a root handle and a path of names separated by "\";
// names compare without regard to case. Values come back raw: their type and
// the bytes as stored (a REG_SZ carries its terminating NUL, a REG_DWORD its
// four little-endian bytes). The collectors turn them into text themselves.
//
// A host without a registry (Linux) presents the facts that have a registry
// home on Windows under the same keys and value names, read from the host's
// own sources (see platform/linux/LinuxRegistry.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

using RootKey = std::uint32_t;
inline constexpr RootKey HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr RootKey HKEY_CURRENT_USER = 0x80000001u;
inline constexpr RootKey HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr RootKey HKEY_USERS = 0x80000003u;
inline constexpr RootKey HKEY_CURRENT_CONFIG = 0x80000005u;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

struct RegValue {
  std::uint32_t type = REG_NONE;
  std::string data;  // the stored bytes
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // The key can be opened.
  virtual bool keyExists(RootKey root, std::string_view path) const = 0;
  // Name of the subkey at `index` in enumeration order; nullopt past the end
  // or when the key cannot be opened.
  virtual std::optional<std::string> subKeyName(RootKey root, std::string_view path,
                                                std::uint32_t index) const = 0;
  // nullopt when the key or the value does not exist. An empty `name` is the
  // key's default value.
  virtual std::optional<RegValue> queryValue(RootKey root, std::string_view path,
                                             std::string_view name) const = 0;
};

// Text name of a root handle ("HKEY_LOCAL_MACHINE"), empty for an unknown one.
std::string_view rootKeyName(RootKey root);
// Root handle of a name, compared without regard to case; nullopt if unknown.
std::optional<RootKey> rootKeyFromName(std::string_view name);

}  // namespace quorvane::platform
