// Codec throughput on a realistic audit: the serialised record of a machine
// with 300 installed applications (about what a well-used office PC has).
#include <benchmark/benchmark.h>

#include <string>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "common/clsB64.h"
#include "common/clsHuffman.h"
#include "common/modCompression.h"

namespace {

using namespace quorvane;

const std::string& auditBytes() {
  static const std::string bytes = writeAuditRecord(makeSampleAudit(300, 7));
  return bytes;
}

const std::string& he3Container() {
  static const std::string c = *clsHuffman().EncodeString(auditBytes());
  return c;
}

void setSizes(benchmark::State& state, std::size_t in, std::size_t out) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in));
  state.counters["in_bytes"] = static_cast<double>(in);
  state.counters["out_bytes"] = static_cast<double>(out);
}

void BM_He3Encode(benchmark::State& state) {
  const clsHuffman huffman;
  std::size_t out = 0;
  for (auto _ : state) {
    Expected<std::string> r = huffman.EncodeString(auditBytes());
    out = r->size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, auditBytes().size(), out);
}
BENCHMARK(BM_He3Encode);

void BM_He3Decode(benchmark::State& state) {
  const clsHuffman huffman;
  std::size_t out = 0;
  for (auto _ : state) {
    Expected<std::string> r = huffman.DecodeString(he3Container());
    if (!r) state.SkipWithError("decode failed");
    out = r->size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, he3Container().size(), out);
}
BENCHMARK(BM_He3Decode);

void BM_B64Encode(benchmark::State& state) {
  const clsB64 b64;
  std::size_t out = 0;
  for (auto _ : state) {
    std::string r = b64.EncodeString(he3Container());
    out = r.size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, he3Container().size(), out);
}
BENCHMARK(BM_B64Encode);

void BM_B64Decode(benchmark::State& state) {
  const clsB64 b64;
  const std::string text = b64.EncodeString(he3Container());
  std::size_t out = 0;
  for (auto _ : state) {
    Expected<std::string> r = b64.DecodeString(text);
    if (!r) state.SkipWithError("decode failed");
    out = r->size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, text.size(), out);
}
BENCHMARK(BM_B64Decode);

void BM_CompressStoredForm(benchmark::State& state) {
  std::size_t out = 0;
  for (auto _ : state) {
    std::string r = makeStoredForm(auditBytes());
    out = r.size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, auditBytes().size(), out);
}
BENCHMARK(BM_CompressStoredForm);

void BM_DecompressStoredForm(benchmark::State& state) {
  const std::string stored = makeStoredForm(auditBytes()) + "\r\n";
  std::size_t out = 0;
  for (auto _ : state) {
    Expected<std::string> r = readStoredForm(stored);
    if (!r) state.SkipWithError("decompress failed");
    out = r->size();
    benchmark::DoNotOptimize(r);
  }
  setSizes(state, stored.size(), out);
}
BENCHMARK(BM_DecompressStoredForm);

}  // namespace

BENCHMARK_MAIN();
