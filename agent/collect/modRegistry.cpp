#include "agent/collect/modRegistry.h"

#include <cstdio>

#include "platform/RegistryTree.h"

namespace quorvane::agent {

platform::RootKey resolveHkeyLong(std::string_view rootName) {
  return platform::rootKeyFromName(rootName).value_or(0);
}

namespace {
std::string replaceAll(std::string s, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t pos = 0;
  while (true) {
    auto at = s.find(from, pos);
    if (at == std::string::npos) break;
    out.append(s, pos, at - pos).append(to);
    pos = at + from.size();
  }
  out.append(s, pos, std::string::npos);
  return out;
}
}  // namespace

std::string CompileKeyString(std::string_view part1, std::string_view part2,
                             std::string_view part3) {
  std::string key;
  for (std::string_view p : {part1, part2, part3}) {
    if (p.empty()) continue;
    if (!key.empty()) key += '\\';
    key.append(p);
  }
  key = replaceAll(std::move(key), "\\\\", "\\");
  return replaceAll(std::move(key), "/", "\\");
}

SubKeyNames getSubKeyNames(const platform::RegistryStore& store, std::string_view rootName,
                           std::string_view keyPath, bool withChildren) {
  SubKeyNames result;
  const platform::RootKey root = resolveHkeyLong(rootName);
  const std::string path = CompileKeyString(keyPath);
  for (std::uint32_t index = 0;; ++index) {
    auto name = store.subKeyName(root, path, index);
    if (!name) break;
    // The name is read into a 2000-character buffer and ends at the first
    // run of four NUL characters.
    std::string n = name->substr(0, 2000);
    if (auto end = n.find(std::string(4, '\0')); end != std::string::npos) n.resize(end);
    if (withChildren)
      result.hasChildren.push_back(store.subKeyName(root, path + "\\" + n, 0).has_value());
    result.names.push_back(std::move(n));
  }
  return result;
}

std::string registryValueText(std::uint32_t type, std::string_view data) {
  switch (type) {
    case platform::REG_SZ:
    case platform::REG_EXPAND_SZ: {
      std::string text(data);
      if (!text.empty() && text.back() == '\0') text.pop_back();
      return text;
    }
    case platform::REG_BINARY: {
      std::string text;
      char pair[4];
      for (unsigned char b : data) {
        if (!text.empty()) text += ' ';
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
      }
      return text;
    }
    case platform::REG_DWORD:
    case platform::REG_DWORD_BIG_ENDIAN: {
      if (data.size() < 4) return {};
      std::uint32_t n = 0;
      for (int i = 0; i < 4; ++i) {
        int shift = type == platform::REG_DWORD ? 8 * i : 8 * (3 - i);
        n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << shift;
      }
      return std::to_string(n);
    }
    default:
      return {};
  }
}

std::string trimSpaces(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string getKeyValue(const platform::RegistryStore& store, platform::RootKey root,
                        std::string_view keyPath, std::string_view valueName, bool writeAccess) {
  (void)writeAccess;  // both backends grant either access mask
  const std::string path = CompileKeyString(keyPath);
  if (!store.keyExists(root, path)) return {};
  auto value = store.queryValue(root, path, valueName);
  if (!value) return {};
  std::string text = trimSpaces(registryValueText(value->type, value->data));
  std::erase(text, '\0');
  return text;
}

}  // namespace quorvane::agent
