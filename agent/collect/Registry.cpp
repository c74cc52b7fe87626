#include "agent/collect/Registry.h"

#include <cstdint>
#include <cstdio>

namespace quorvane::agent {

std::string Registry::getValue(std::string_view keyPath, std::string_view valueName,
                               platform::RootKey root) const {
  if (root == 0) root = platform::HKEY_LOCAL_MACHINE;
  if (!store_.keyExists(root, keyPath)) return {};
  auto value = store_.queryValue(root, keyPath, valueName);
  if (!value) return {};
  // A value larger than the buffer is not copied (the read reports "more
  // data"); the buffer keeps its NUL bytes.
  std::string buffer(kGetValueBufferBytes, '\0');
  if (value->data.size() <= kGetValueBufferBytes)
    buffer.replace(0, value->data.size(), value->data);
  if (value->type == platform::REG_DWORD) {
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer[i])) << (8 * i);
    char hex[16];
    std::snprintf(hex, sizeof hex, "&H%X", static_cast<unsigned>(n));
    return hex;
  }
  auto nul = buffer.find('\0');
  if (nul == std::string::npos) return {};
  return buffer.substr(0, nul);
}

}  // namespace quorvane::agent
