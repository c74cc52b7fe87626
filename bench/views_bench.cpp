// The audit browser's view texts for one click, on records the size of a
// well-used PC (hundreds to thousands of installed applications).
#include <benchmark/benchmark.h>

#include "common/SampleAudit.h"
#include "server/core/AuditViews.h"
#include "server/core/ServerTexts.h"

namespace {

using namespace quorvane;

// A node click: the software list, the Windows text, one hardware category
// and the network text.
void BM_NodeClickTexts(benchmark::State& state) {
  const AuditRecord record = makeSampleAudit(static_cast<int>(state.range(0)), 7);
  for (auto _ : state) {
    SoftwareItems items = softwareListItems(record);
    ViewText software = softwareInfoText(record.Software, 0, items.items.front());
    ViewText hardware = hardwareInfoText(record.Hardware, kHardwareCategories[0]);
    std::string network = networkInfoText(record.Hardware.Network);
    benchmark::DoNotOptimize(items);
    benchmark::DoNotOptimize(software);
    benchmark::DoNotOptimize(hardware);
    benchmark::DoNotOptimize(network);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NodeClickTexts)->Arg(100)->Arg(1000)->Arg(5000);

// A click on an application: every element is compared with the name and
// the publisher is looked up when none is recorded.
void BM_ApplicationText(benchmark::State& state) {
  const AuditRecord record = makeSampleAudit(static_cast<int>(state.range(0)), 7);
  const std::string name = record.Software.Applications.items.back().DisplayName.empty()
                               ? record.Software.Applications.items.front().DisplayName
                               : record.Software.Applications.items.back().DisplayName;
  for (auto _ : state) {
    ViewText view = softwareInfoText(record.Software, 1, name);
    benchmark::DoNotOptimize(view);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplicationText)->Arg(100)->Arg(1000)->Arg(5000);

// Every hardware category in turn.
void BM_HardwareTexts(benchmark::State& state) {
  const AuditRecord record = makeSampleAudit(50, 7);
  for (auto _ : state) {
    for (std::string_view category : kHardwareCategories) {
      ViewText view = hardwareInfoText(record.Hardware, category);
      benchmark::DoNotOptimize(view);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kHardwareCategories.size()));
}
BENCHMARK(BM_HardwareTexts);

}  // namespace

BENCHMARK_MAIN();
