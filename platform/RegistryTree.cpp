#include "platform/RegistryTree.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <utility>

namespace quorvane::platform {

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::vector<std::string> splitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::string_view rootKeyName(RootKey root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    default: return {};
  }
}

std::optional<RootKey> rootKeyFromName(std::string_view name) {
  for (RootKey r : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                    HKEY_CURRENT_CONFIG}) {
    if (equalsNoCase(name, rootKeyName(r))) return r;
  }
  return std::nullopt;
}

namespace {
std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}
}  // namespace

struct RegistryTree::Node {
  std::string name;
  std::vector<std::unique_ptr<Node>> children;           // enumeration order
  std::unordered_map<std::string, Node*> childByName;    // lower-case name -> child
  std::vector<std::pair<std::string, RegValue>> values;

  Node* child(std::string_view n) const {
    auto it = childByName.find(lowered(n));
    return it == childByName.end() ? nullptr : it->second;
  }
  Node* addChild(std::string n) {
    children.push_back(std::make_unique<Node>());
    Node* c = children.back().get();
    childByName.emplace(lowered(n), c);
    c->name = std::move(n);
    return c;
  }
};

RegistryTree::RegistryTree() = default;
RegistryTree::~RegistryTree() = default;

const RegistryTree::Node* RegistryTree::find(RootKey root, std::string_view path) const {
  auto it = roots_.find(root);
  if (it == roots_.end()) return nullptr;
  const Node* node = it->second.get();
  for (const auto& part : splitKeyPath(path)) {
    node = node->child(part);
    if (!node) return nullptr;
  }
  return node;
}

RegistryTree::Node* RegistryTree::findOrCreate(RootKey root, std::string_view path) {
  auto& slot = roots_[root];
  if (!slot) slot = std::make_unique<Node>();
  Node* node = slot.get();
  for (auto& part : splitKeyPath(path)) {
    Node* next = node->child(part);
    if (!next) next = node->addChild(std::move(part));
    node = next;
  }
  return node;
}

void RegistryTree::addKey(RootKey root, std::string_view path) { findOrCreate(root, path); }

void RegistryTree::setValue(RootKey root, std::string_view path, std::string_view name,
                            RegValue value) {
  Node* node = findOrCreate(root, path);
  for (auto& [n, v] : node->values) {
    if (equalsNoCase(n, name)) {
      v = std::move(value);
      return;
    }
  }
  node->values.emplace_back(std::string(name), std::move(value));
}

bool RegistryTree::keyExists(RootKey root, std::string_view path) const {
  // Only the predefined roots can be opened.
  if (rootKeyName(root).empty()) return false;
  return find(root, path) != nullptr || splitKeyPath(path).empty();
}

std::optional<std::string> RegistryTree::subKeyName(RootKey root, std::string_view path,
                                                    std::uint32_t index) const {
  const Node* node = find(root, path);
  if (!node || index >= node->children.size()) return std::nullopt;
  return node->children[index]->name;
}

std::optional<RegValue> RegistryTree::queryValue(RootKey root, std::string_view path,
                                                 std::string_view name) const {
  const Node* node = find(root, path);
  if (!node) return std::nullopt;
  for (const auto& [n, v] : node->values)
    if (equalsNoCase(n, name)) return v;
  return std::nullopt;
}

RegValue RegistryTree::sz(std::string_view text) {
  RegValue v;
  v.type = REG_SZ;
  v.data.assign(text);
  v.data.push_back('\0');
  return v;
}

RegValue RegistryTree::dword(std::uint32_t value) {
  RegValue v;
  v.type = REG_DWORD;
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return v;
}

}  // namespace quorvane::platform
