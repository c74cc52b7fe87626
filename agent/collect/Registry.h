// Registry: the single-value registry reader of the collectors (getValue).
//
// Each call opens, reads and closes its key; nothing is kept between calls.
// getValue never fails towards its caller: every registry error reads as
// empty text. Owned by whoever audits; holds only a reference to the store.
#pragma once

#include <string>
#include <string_view>

#include "platform/RegistryStore.h"

namespace quorvane::agent {

inline constexpr std::size_t kGetValueBufferBytes = 260;

class Registry {
 public:
  explicit Registry(const platform::RegistryStore& store) : store_(store) {}

  // The value read into a 260-byte buffer of NUL bytes: a REG_DWORD as "&H"
  // and its upper-case hexadecimal digits without leading zeros (1997 ->
  // &H7CD); any other type as the characters before the first NUL (a value
  // that does not fit the buffer, or fills it without a NUL, reads empty).
  // `root` 0 means HKEY_LOCAL_MACHINE.
  std::string getValue(std::string_view keyPath, std::string_view valueName,
                       platform::RootKey root = 0) const;

 private:
  const platform::RegistryStore& store_;
};

}  // namespace quorvane::agent
