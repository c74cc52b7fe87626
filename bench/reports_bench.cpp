// Report library costs: the exchange sort of the application table (its
// worst case, a reversed table), counting a fleet's applications, and the
// XML block of one audit.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/SampleAudit.h"
#include "reportlib/clsReportSoftware.h"
#include "reportlib/clsXMLExport.h"

namespace {

dovrel::ApplicationTable reversedTable(int n) {
  dovrel::ApplicationTable t{{}};
  for (int i = n; i > 0; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "Application %06d", i);
    t.push_back({name, 1});
  }
  return t;
}

void BM_sortStringReversed(benchmark::State& state) {
  const auto table = reversedTable(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto t = table;
    benchmark::DoNotOptimize(dovrel::sortString(t));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_sortStringReversed)->Arg(100)->Arg(500)->Arg(2000)->Complexity(benchmark::oNSquared)
    ->Unit(benchmark::kMillisecond);

void BM_countSoftware(benchmark::State& state) {
  std::vector<quorvane::AuditRecord> fleet;
  for (int i = 0; i < state.range(0); ++i) fleet.push_back(quorvane::makeSampleAudit(40, static_cast<std::uint32_t>(i)));
  for (auto _ : state) benchmark::DoNotOptimize(dovrel::countSoftware(fleet));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_countSoftware)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_xmlComputerBlock(benchmark::State& state) {
  const auto record = quorvane::makeSampleAudit(60, 7);
  std::string out;
  for (auto _ : state) {
    out.clear();
    dovrel::appendComputerBlock(out, record);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_xmlComputerBlock);

}  // namespace

BENCHMARK_MAIN();
