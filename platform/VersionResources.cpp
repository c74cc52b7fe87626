#include "platform/VersionResources.h"

#include "platform/RegistryTree.h"

namespace quorvane::platform {

std::optional<std::string> VersionResource::findString(std::string_view block,
                                                       std::string_view name) const {
  for (const auto& e : strings) {
    if (equalsNoCase(e.block, block) && equalsNoCase(e.name, name)) return e.value;
  }
  return std::nullopt;
}

}  // namespace quorvane::platform
