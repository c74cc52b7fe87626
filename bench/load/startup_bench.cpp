// DataStore start-up figure: a DataStore of many audits (10,000 by default)
// loaded headless by the server's start-up (list, read, decompress, decode,
// tables, list rows, tree) next to the plain zlib decompression of the same
// files in the same run. Also the memory each loaded client costs.
//
//   startup_bench [--store DIR] [--audits N] [--prepare-only] [benchmark flags]
//
// The DataStore is made once (when DIR holds fewer files) from generated
// fleet machines audited by the agent's own collectors, each copy with its
// own address and host name.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>
#include <zlib.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "agent/AgentMachine.h"
#include "common/AuditRecordIO.h"
#include "common/WholeFile.h"
#include "common/modCompression.h"
#include "server/core/ServerCore.h"
#include "tools/fleet/FleetMachines.h"

namespace fs = std::filesystem;
using namespace quorvane;

namespace {

fs::path gFolder;  // the server's program folder; DataStore inside
int gAudits = 10000;

class SilentSink final : public MessageSink {
 public:
  void showMessage(std::string_view, std::string_view text, int) override { ++shown; last = std::string(text); }
  int shown = 0;
  std::string last;
};

// Bytes in use on the heap (freed memory kept by malloc does not count).
long heapInUse() { return static_cast<long>(mallinfo2().uordblks); }

std::vector<fs::path> dataFiles() {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(gFolder / "DataStore")) {
    if (e.path().extension() == ".dat") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool prepare() {
  const fs::path store = gFolder / "DataStore";
  fs::create_directories(store);
  if (static_cast<int>(dataFiles().size()) >= gAudits) return true;
  const fs::path machines = gFolder / "machines";
  const int kinds = 40;
  if (!fleet::writeFleetMachines(machines, kinds, 10000, fleet::defaultMachineTemplates())) return false;
  std::vector<AuditRecord> bases;
  for (const fs::path& m : fleet::listMachineFiles(machines)) {
    auto audit = agent::makeMachineAudit(m);
    if (!audit) return false;
    AuditRecord r;
    (*audit)(r, "127.0.0.1", [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    bases.push_back(std::move(r));
  }
  for (int i = 0; i < gAudits; ++i) {
    AuditRecord r = bases[static_cast<std::size_t>(i) % bases.size()];
    const std::string ip = fleet::fleetAddress(i);
    r.Hardware.Network.IP = ip;
    r.Hardware.Network.Hostname += "-" + std::to_string(i);
    std::ofstream(store / (ip + ".dat"), std::ios::binary | std::ios::trunc) << encodeStoredAudit(r) << "\r\n";
  }
  fs::remove_all(machines);
  return true;
}

// Baseline: read every file, find the declared length, inflate with zlib.
void BM_PlainZlibOfTheDataStore(benchmark::State& state) {
  const auto files = dataFiles();
  std::string out;
  for (auto _ : state) {
    std::size_t total = 0;
    for (const fs::path& f : files) {
      std::ifstream in(f, std::ios::binary | std::ios::ate);
      std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
      in.seekg(0);
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      const auto nul = bytes.find('\0');
      uLongf length = std::strtoul(bytes.substr(0, nul).c_str(), nullptr, 10);
      out.resize(length);
      if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                     reinterpret_cast<const Bytef*>(bytes.data() + nul + 1), bytes.size() - nul - 1) != Z_OK &&
          length != out.size()) {
        state.SkipWithError("a file does not inflate");
        return;
      }
      total += length;
    }
    benchmark::DoNotOptimize(total);
  }
  state.counters["audits"] = static_cast<double>(files.size());
  state.counters["time_per_audit"] = benchmark::Counter(static_cast<double>(files.size()),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainZlibOfTheDataStore)->Unit(benchmark::kMillisecond)->Iterations(3);

// What start-up must do at least: read, inflate and decode every record.
void BM_ReadAndDecodeOfTheDataStore(benchmark::State& state) {
  const auto files = dataFiles();
  for (auto _ : state) {
    std::vector<AuditRecord> records;
    records.reserve(files.size());
    for (const fs::path& f : files) {
      auto bytes = readWholeFile(f, kMaxStoredFileSize);
      auto record = bytes ? decodeStoredAudit(*bytes) : Expected<AuditRecord>(bytes.status());
      if (!record) {
        state.SkipWithError("a file does not decode");
        return;
      }
      records.push_back(std::move(*record));
    }
    benchmark::DoNotOptimize(records.data());
    state.PauseTiming();  // freeing them is no part of a start-up
    records.clear();
    state.ResumeTiming();
  }
  state.counters["time_per_audit"] = benchmark::Counter(static_cast<double>(files.size()),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadAndDecodeOfTheDataStore)->Unit(benchmark::kMillisecond)->Iterations(3);

// The server's start-up over the same files (no listening).
void BM_ServerStartupOfTheDataStore(benchmark::State& state) {
  const auto files = dataFiles();
  long perClient = 0;
  for (auto _ : state) {
    SilentSink sink;
    const long before = heapInUse();
    auto core = std::make_unique<ServerCore>(gFolder.string(), sink);
    StartupView view;
    StartupOptions options;
    options.listen = false;
    if (!core->start(view, options).ok()) {
      state.SkipWithError(("start-up failed: " + sink.last).c_str());
      return;
    }
    if (core->state().clientList().rowCount() != static_cast<int>(files.size())) {
      state.SkipWithError("not every client was loaded");
      return;
    }
    state.PauseTiming();  // the end of the server is no part of its start-up
    perClient = (heapInUse() - before) / static_cast<long>(files.size());
    core.reset();
    state.ResumeTiming();
  }
  state.counters["audits"] = static_cast<double>(files.size());
  state.counters["heap_bytes_per_client"] = static_cast<double>(perClient);
  state.counters["time_per_audit"] = benchmark::Counter(static_cast<double>(files.size()),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}
BENCHMARK(BM_ServerStartupOfTheDataStore)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  bool prepareOnly = false;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--store") && i + 1 < argc) gFolder = argv[++i];
    else if (!std::strcmp(argv[i], "--audits") && i + 1 < argc) gAudits = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--prepare-only")) prepareOnly = true;
    else rest.push_back(argv[i]);
  }
  if (gFolder.empty()) gFolder = fs::temp_directory_path() / ("quorvane-startup-" + std::to_string(gAudits));
  if (gAudits < 1 || gAudits > fleet::kMaxFleetAgents || !prepare()) {
    std::fprintf(stderr, "startup_bench: cannot prepare %s\n", gFolder.c_str());
    return 1;
  }
  std::fprintf(stderr, "startup_bench: %zu audits in %s\n", dataFiles().size(), (gFolder / "DataStore").c_str());
  if (prepareOnly) return 0;
  int n = static_cast<int>(rest.size());
  QCoreApplication app(n, rest.data());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
