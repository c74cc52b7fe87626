// RegistryTree: an in-memory registry, the store behind the fixture backend
// and the Linux backend's presented keys.
//
// Keys keep their subkeys in insertion order (that is the enumeration order)
// and compare names without regard to case (ASCII). Values keep insertion
// order too. Not thread-safe; the agent is single-threaded.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryStore.h"

namespace quorvane::platform {

class RegistryTree final : public RegistryStore {
 public:
  RegistryTree();
  ~RegistryTree() override;
  RegistryTree(const RegistryTree&) = delete;
  RegistryTree& operator=(const RegistryTree&) = delete;

  // Creates the key and every missing parent. Empty path parts are skipped.
  void addKey(RootKey root, std::string_view path);
  // Creates the key when needed and sets (or replaces) the value.
  void setValue(RootKey root, std::string_view path, std::string_view name, RegValue value);

  bool keyExists(RootKey root, std::string_view path) const override;
  std::optional<std::string> subKeyName(RootKey root, std::string_view path,
                                        std::uint32_t index) const override;
  std::optional<RegValue> queryValue(RootKey root, std::string_view path,
                                     std::string_view name) const override;

  // Convenience builders of stored bytes.
  static RegValue sz(std::string_view text);  // REG_SZ with its NUL
  static RegValue dword(std::uint32_t value);  // REG_DWORD, little-endian

 private:
  struct Node;
  const Node* find(RootKey root, std::string_view path) const;
  Node* findOrCreate(RootKey root, std::string_view path);
  std::map<RootKey, std::unique_ptr<Node>> roots_;
};

// Splits a key path at "\" (and "/"), dropping empty parts.
std::vector<std::string> splitKeyPath(std::string_view path);
// ASCII case-insensitive equality.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace quorvane::platform
