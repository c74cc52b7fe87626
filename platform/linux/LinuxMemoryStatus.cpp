#include "platform/linux/LinuxMemoryStatus.h"

#include <map>

#include "platform/linux/LinuxHardwareFiles.h"
#include "common/ErrorReport.h"

namespace quorvane::platform::linux_backend {

Expected<MemoryStatusFacts> parseMemInfo(std::string_view text) {
  std::map<std::string, std::uint64_t, std::less<>> kb;
  for (std::string_view line : splitPieces(text, '\n')) {
    auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = trimBlanks(line.substr(colon + 1));
    std::uint64_t factor = 1;
    if (value.size() > 3 && value.substr(value.size() - 3) == " kB") {
      value = trimBlanks(value.substr(0, value.size() - 3));
      factor = 1024;
    }
    auto n = parseNumber(value);
    if (!n) continue;
    kb[std::string(trimBlanks(line.substr(0, colon)))] = *n * factor;
  }
  auto get = [&](std::string_view key) -> std::uint64_t {
    auto it = kb.find(key);
    return it == kb.end() ? 0 : it->second;
  };
  if (kb.find("MemTotal") == kb.end()) {
    return Status::Error(kErrBadFileFormat, "MemTotal missing from /proc/meminfo");
  }
  MemoryStatusFacts f;
  f.totalPhys = get("MemTotal");
  f.availPhys = kb.count("MemAvailable") ? get("MemAvailable")
                                          : get("MemFree") + get("Buffers") + get("Cached");
  if (f.availPhys > f.totalPhys) f.availPhys = f.totalPhys;
  std::uint64_t swapTotal = get("SwapTotal");
  std::uint64_t swapFree = get("SwapFree");
  if (swapFree > swapTotal) swapFree = swapTotal;
  f.totalPageFile = f.totalPhys + swapTotal;
  f.availPageFile = f.availPhys + swapFree;
  f.memoryLoad = f.totalPhys == 0
                     ? 0
                     : static_cast<std::uint32_t>((f.totalPhys - f.availPhys) * 100 / f.totalPhys);
  f.totalVirtual = get("VmallocTotal");
  f.availVirtual = f.totalVirtual >= get("VmallocUsed") ? f.totalVirtual - get("VmallocUsed") : 0;
  return f;
}

namespace {

class LinuxMemoryStatus final : public RootedBackend<MemoryStatus> {
 public:
  using RootedBackend::RootedBackend;
  Expected<MemoryStatusFacts> get() const override {
    auto text = readWholeFile(path("proc/meminfo"));
    if (!text) return Status::Error(kErrFileNotFound, "File not found: /proc/meminfo");
    return parseMemInfo(*text);
  }
};

}  // namespace

std::unique_ptr<MemoryStatus> makeLinuxMemoryStatus(std::string root) {
  return std::make_unique<LinuxMemoryStatus>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
