// Environment: GetEnvironmentVariableA.
//
// Names are compared without regard to case, as on Windows. The value is
// returned whole (no buffer limit), 8-bit text; nullopt when the variable is
// not set. A host whose environment uses other names for the same facts maps
// the Windows names onto them (see the backend).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> get(std::string_view name) const = 0;
};

}  // namespace quorvane::platform
