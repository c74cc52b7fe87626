// Server figures: assembling an upload from network pieces, storing one
// upload (decode from memory, atomic write, merge), and start-up loading a
// DataStore of many clients.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "server/core/CommandTokens.h"
#include "server/core/ServerCore.h"
#include "server/core/UploadAssembler.h"

namespace {

using namespace quorvane;

class SilentSink final : public MessageSink {
 public:
  void showMessage(std::string_view, std::string_view, int) override {}
};

void ensureApp() {
  static int argc = 1;
  static char name[] = "server_bench";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

std::string sampleUpload(int apps, std::uint32_t seed) {
  AuditRecord r = makeSampleAudit(apps, seed);
  r.Hardware.Network.IP = "127.0.0.1";
  return encodeStoredAudit(r);
}

// An upload of 1 MiB arriving in pieces of the given size.
void BM_AssembleUpload(benchmark::State& state) {
  const std::size_t pieceSize = static_cast<std::size_t>(state.range(0));
  std::string body(1 << 20, 'x');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 131);
  const std::string wire = body + std::string(kEndMarker);
  for (auto _ : state) {
    UploadAssembler assembler;
    std::size_t stored = 0;
    for (std::size_t at = 0; at < wire.size(); at += pieceSize) {
      UploadAssembler::Result r = assembler.feed(std::string_view(wire).substr(at, pieceSize));
      if (r.outcome == UploadAssembler::Outcome::Complete) stored = r.upload.size();
    }
    benchmark::DoNotOptimize(stored);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
}
BENCHMARK(BM_AssembleUpload)->Arg(1460)->Arg(65536);

// One upload of a client with `apps` applications: decode, write, merge.
void BM_StoreUpload(benchmark::State& state) {
  ensureApp();
  QTemporaryDir dir;
  SilentSink sink;
  ServerCore core(dir.path().toStdString(), sink);
  StartupView view;
  StartupOptions options;
  options.listen = false;
  core.start(view, options);
  const std::string upload = sampleUpload(static_cast<int>(state.range(0)), 1);
  for (auto _ : state) core.storeUpload("127.0.0.1", upload);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * upload.size()));
}
BENCHMARK(BM_StoreUpload)->Arg(20)->Arg(300)->Unit(benchmark::kMicrosecond);

// Start-up over a DataStore of `clients` files of 60 applications each.
void BM_StartupLoad(benchmark::State& state) {
  ensureApp();
  QTemporaryDir dir;
  QDir().mkpath(dir.path() + "/DataStore");
  const int clients = static_cast<int>(state.range(0));
  for (int i = 0; i < clients; ++i) {
    AuditRecord r = makeSampleAudit(60, static_cast<std::uint32_t>(i));
    r.Hardware.Network.DomainName = "domain" + std::to_string(i % 7);
    QFile f(dir.path() + QString("/DataStore/10.0.%1.%2.dat").arg(i / 250).arg(i % 250));
    f.open(QIODevice::WriteOnly);
    const std::string bytes = encodeStoredAudit(r) + "\r\n";
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  SilentSink sink;
  for (auto _ : state) {
    ServerCore core(dir.path().toStdString(), sink);
    StartupView view;
    StartupOptions options;
    options.listen = false;
    core.start(view, options);
    benchmark::DoNotOptimize(core.state().clientCount());
  }
  state.SetItemsProcessed(state.iterations() * clients);
}
BENCHMARK(BM_StartupLoad)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
