#include "agent/collect/modHMemory.h"

#include <charconv>
#include <cmath>

namespace quorvane::agent {

std::string realText(double value) {
  if (value == 0) return "0";  // also -0
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return "0";
  std::string s(buf, end);
  // The shortest form may use an exponent for very large or small values;
  // write those out in plain digits.
  if (s.find('e') != std::string::npos) {
    auto [e2, ec2] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec2 == std::errc()) s.assign(buf, e2);
  }
  return s;
}

double roundHalfEven(double value) { return std::nearbyint(value); }  // default mode: to even

double kilo(std::uint64_t bytes) { return static_cast<double>(bytes) / 1024.0; }

MemoryInfo memoryInfoOf(const platform::MemoryStatusFacts& m) {
  MemoryInfo info;
  info.TotalMemoryAvailable =
      realText(roundHalfEven((kilo(m.availPageFile) + kilo(m.availPhys)) / 1024.0)) + " MBytes";
  info.TotalPhysicalMemory = realText(kilo(m.totalPhys)) + " KBytes";
  info.TotalAvailablePhysicalMemory = realText(kilo(m.availPhys)) + " KBytes";
  info.MaxSwapFile = realText(kilo(m.totalPageFile)) + " KBytes";
  info.CurrentSwapFile = realText(roundHalfEven(kilo(m.totalPageFile) - kilo(m.availPageFile))) + " KBytes";
  info.FreeSwapFile = realText(kilo(m.availPageFile)) + " KBytes";
  info.MemoryLoad = std::to_string(m.memoryLoad) + " %";
  return info;
}

MemoryInfo getMemory(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  MemoryInfo info;
  runCollector(ctx, "modHMemory", "getMemory", [&] {
    if (!p.memory) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    auto m = p.memory->get();
    if (!m) throw RaisedError(m.status());
    info = memoryInfoOf(*m);
  }, OtherFailures::kInvalidCall);
  return info;
}

}  // namespace quorvane::agent
