#include "agent/collect/modHProcessor.h"

#include "agent/collect/Registry.h"
#include "agent/collect/modRegistry.h"

namespace quorvane::agent {

std::string addressText(std::uint64_t address, int addressBits) {
  if (addressBits > 32) return std::to_string(address);
  return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(address)));
}

std::string steppingText(std::uint16_t revision) {
  return std::to_string(hiByte(revision)) + " , " + std::to_string(loByte(revision));
}

std::string cpuSpeedText(std::string_view mhzValue) {
  if (mhzValue.empty()) return "0";
  return std::to_string(numberOfText(mhzValue));
}

ProcessorInfo getProcessor(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  ProcessorInfo info;
  runCollector(ctx, "modHProcessor", "getProcessor", [&] {
    if (!p.systemInfo || !p.registry || !p.metrics) {
      throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    auto si = p.systemInfo->get();
    if (!si) throw RaisedError(si.status());
    const Registry reg(*p.registry);
    info.NumberOfCPUs = std::to_string(si->numberOfProcessors);
    info.ActiveProcessorMark = std::to_string(si->activeProcessorMask);
    std::string mhz = reg.getValue(kCentralProcessorKey, "~MHz");
    info.CPUVersion = trimSpaces(reg.getValue(kCentralProcessorKey, "VendorIdentifier"));
    if (isWinNT(p)) info.CPUVersion += " " + trimSpaces(mhz);
    std::string cls = reg.getValue(kCentralProcessorKey, "Identifier");
    info.CPUClass = trimSpaces(cls.empty() ? std::string("None") : cls);
    info.CPUStepping = steppingText(si->processorRevision);
    info.CPUSpeed = cpuSpeedText(mhz);
    info.MinAppAddress = addressText(si->minimumApplicationAddress, si->addressBits);
    info.MaxAppAddress = addressText(si->maximumApplicationAddress, si->addressBits);
    info.PageSize = std::to_string(si->pageSize);
    info.LowEndCPU = p.metrics->get(platform::SM_SLOWMACHINE) != 0;
    info.BlockSize = std::to_string(si->allocationGranularity);
  }, OtherFailures::kInvalidCall);
  return info;
}

}  // namespace quorvane::agent
