// Audit record serialisation and the stored-file form, on a realistic audit
// (300 applications, four drives, 24 video modes).
#include <benchmark/benchmark.h>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"

namespace {

using namespace quorvane;

const AuditRecord& sample() {
  static const AuditRecord record = makeSampleAudit(300, 2024);
  return record;
}

void BM_WriteAuditRecord(benchmark::State& state) {
  const AuditRecord& r = sample();
  std::string out;
  for (auto _ : state) {
    out.clear();
    writeAuditRecord(out, r);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(out.size()));
  state.counters["record_bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_WriteAuditRecord);

void BM_ReadAuditRecord(benchmark::State& state) {
  const std::string bytes = writeAuditRecord(sample());
  for (auto _ : state) {
    auto r = readAuditRecord(bytes);
    if (!r) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadAuditRecord);

void BM_EncodeStoredAudit(benchmark::State& state) {
  const AuditRecord& r = sample();
  std::size_t size = 0;
  for (auto _ : state) {
    std::string stored = encodeStoredAudit(r);
    size = stored.size();
    benchmark::DoNotOptimize(stored.data());
  }
  state.counters["stored_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodeStoredAudit)->Unit(benchmark::kMicrosecond);

void BM_DecodeStoredAudit(benchmark::State& state) {
  const std::string stored = encodeStoredAudit(sample()) + "\r\n";
  for (auto _ : state) {
    auto r = decodeStoredAudit(stored);
    if (!r) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_DecodeStoredAudit)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
