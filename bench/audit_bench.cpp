// One full audit (getInfo: hardware, software, date) of this machine and of
// the sample fixture machines. Error reports of the collectors are counted,
// not shown.
#include <benchmark/benchmark.h>

#include <string>

#include "agent/collect/CollectContext.h"
#include "agent/collect/modGetInfo.h"
#include "common/AuditRecord.h"
#include "platform/Platform.h"

namespace {

using namespace quorvane;

void runAudits(benchmark::State& state, platform::Platform& p) {
  long reports = 0;
  agent::CollectContext ctx{p, "127.0.0.1", [&](const agent::CollectReport&) { ++reports; }, {}};
  std::size_t drives = 0;
  for (auto _ : state) {
    AuditRecord record;
    agent::getInfo(record, ctx);
    drives = record.Hardware.Drives.size();
    benchmark::DoNotOptimize(record);
  }
  state.counters["reports/audit"] =
      benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kAvgIterations);
  state.counters["drives"] = static_cast<double>(drives);
}

void BM_AuditThisMachine(benchmark::State& state) {
  auto p = platform::makeNativePlatform();
  runAudits(state, *p);
}
BENCHMARK(BM_AuditThisMachine)->Unit(benchmark::kMillisecond);

void BM_AuditFixtureMachine(benchmark::State& state, const char* file) {
  auto p = platform::makeFixturePlatform(std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/machines/" + file);
  if (!p.ok()) {
    state.SkipWithError(p.status().description().c_str());
    return;
  }
  runAudits(state, **p);
}
BENCHMARK_CAPTURE(BM_AuditFixtureMachine, winxp_pro, "winxp-pro.json")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AuditFixtureMachine, win98se, "win98se.json")->Unit(benchmark::kMicrosecond);

// Loading a machine file and auditing it once: what the fleet simulator pays per PC.
void BM_LoadAndAuditFixture(benchmark::State& state) {
  const std::string file = std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/machines/winxp-pro.json";
  for (auto _ : state) {
    auto p = platform::makeFixturePlatform(file);
    if (!p.ok()) {
      state.SkipWithError(p.status().description().c_str());
      return;
    }
    agent::CollectContext ctx{**p, "127.0.0.1", [](const agent::CollectReport&) {}, {}};
    AuditRecord record;
    agent::getInfo(record, ctx);
    benchmark::DoNotOptimize(record);
  }
}
BENCHMARK(BM_LoadAndAuditFixture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
