// The software collectors: the application list of this machine (the dpkg
// database presented as the uninstall key), of a fixture PC with many
// uninstall entries, and one getWindows of the XP sample.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "agent/collect/modSSoftware.h"
#include "agent/collect/modSWindows.h"
#include "platform/Platform.h"

namespace {

using namespace quorvane;

std::unique_ptr<platform::Platform> manyApplications(int count) {
  std::string json = R"({"registry": {)";
  for (int i = 0; i < count; ++i) {
    if (i) json += ",";
    json += R"("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App)" +
            std::to_string(i) + R"(": {"DisplayName": {"type": "REG_SZ", "value": "Application )" +
            std::to_string(i) + R"("}, "DisplayVersion": {"type": "REG_SZ", "value": "1.0"},
            "Publisher": {"type": "REG_SZ", "value": "Example"}})";
  }
  json += "}}";
  auto path = std::filesystem::temp_directory_path() / "quorvane-software-bench.json";
  std::ofstream(path) << json;
  auto p = platform::makeFixturePlatform(path);
  std::filesystem::remove(path);
  return std::move(*p);
}

void BM_ApplicationsOfThisMachine(benchmark::State& state) {
  auto machine = platform::makeNativePlatform();
  agent::CollectContext ctx{*machine, "", {}, {}};
  std::size_t n = 0;
  for (auto _ : state) n = agent::getApplications(ctx).size();
  state.counters["applications"] = static_cast<double>(n);
}
BENCHMARK(BM_ApplicationsOfThisMachine)->Unit(benchmark::kMillisecond);

void BM_ApplicationsOfAFixturePc(benchmark::State& state) {
  auto machine = manyApplications(static_cast<int>(state.range(0)));
  agent::CollectContext ctx{*machine, "", {}, {}};
  for (auto _ : state) benchmark::DoNotOptimize(agent::getApplications(ctx));
}
BENCHMARK(BM_ApplicationsOfAFixturePc)->Arg(100)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_WindowsOfTheXpSample(benchmark::State& state) {
  auto loaded = platform::makeFixturePlatform(std::filesystem::path(QUORVANE_SOURCE_DIR) /
                                              "tests/fixtures/machines/winxp-pro.json");
  if (!loaded.ok()) {
    state.SkipWithError("the XP sample does not load");
    return;
  }
  auto machine = std::move(*loaded);
  agent::CollectContext ctx{*machine, "", {}, {}};
  for (auto _ : state) benchmark::DoNotOptimize(agent::getWindows(ctx));
}
BENCHMARK(BM_WindowsOfTheXpSample)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
