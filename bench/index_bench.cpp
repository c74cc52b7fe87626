// Index database figures, measured in one run so that they are read as ratios:
//
//   build   indexing a DataStore of N audits from scratch (catch-up on an
//           empty index) next to the server's own start-up load of the same
//           files (list, read, decompress, decode, tables): ratio build/load.
//   find    'mozilla firefox < 120' over the index of those N machines with A
//           applications each: median query time of 21 runs (open index).
//   size    the SQLite file per machine after the build, and after D days of
//           daily audits of M machines with a few changes each (0-3
//           applications upgraded, now and then one installed or removed).
//
//   index_bench [--audits N] [--apps A] [--days D] [--daily-machines M] [--postgres]
//               [--store DIR]   (keeps the generated DataStore in DIR for the next run)
//
// Defaults: N 10000, A 300, D 30, M 1000. --postgres also builds and asks a
// PostgreSQL cluster started for the run (throw-away, Unix socket).
#include <QCoreApplication>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "server/core/AuditIndex.h"
#include "server/core/IndexService.h"
#include "server/core/ServerCore.h"
#include "server/testsupport/PostgresCluster.h"

namespace fs = std::filesystem;
using namespace quorvane;

namespace {

int gAudits = 10000, gApps = 300, gDays = 30, gDailyMachines = 1000;
bool gPostgres = false;
std::string gStore;  // --store DIR: keep the DataStore there and use it again

class SilentSink final : public MessageSink {
 public:
  void showMessage(std::string_view, std::string_view, int) override { ++shown; }
  int shown = 0;
};

struct Times {
  double cpu = 0, wall = 0;
};

double wallSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// CPU seconds of this thread: the machine is shared, so the ratios compare
// the work done, not the waiting for a core.
double cpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A catalog of 3,000 products; each machine has `gApps` of them at one of a
// handful of versions (fleets share their software), Firefox among them.
struct Catalog {
  std::vector<std::string> names, publishers;
  Catalog() {
    names.push_back("Mozilla Firefox"), publishers.push_back("Mozilla");
    for (int i = 1; i < 3000; ++i) {
      names.push_back("Product " + std::to_string(i) + " Suite"), publishers.push_back("Vendor " + std::to_string(i % 400));
    }
  }
};

std::string versionOf(std::mt19937& rng, int product) {
  if (product == 0) return std::to_string(100 + rng() % 30) + ".0." + std::to_string(rng() % 3);
  return std::to_string(1 + product % 9) + "." + std::to_string(rng() % 4) + "." + std::to_string(rng() % 3);
}

AuditRecord machineAudit(const Catalog& catalog, int i, std::mt19937& rng) {
  AuditRecord r = makeSampleAudit(0, static_cast<std::uint32_t>(i));
  r.Hardware.Network.IP = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  r.Hardware.Network.Hostname = "PC-" + std::to_string(i);
  r.Software.Windows.WindowsID = "ID-" + std::to_string(i);
  std::vector<ApplicationInfo> apps;
  std::vector<int> picked{0};
  while (static_cast<int>(picked.size()) < gApps) picked.push_back(1 + static_cast<int>(rng() % 2999));
  for (int p : picked) {
    apps.push_back({catalog.names[p], "MsiExec.exe /X{" + std::to_string(p) + "}", catalog.publishers[p],
                    "C:\\Program Files\\" + catalog.names[p], versionOf(rng, p), ""});
  }
  apps.push_back({});
  r.Software.Applications = Array<ApplicationInfo>(std::move(apps));
  return r;
}

void writeStore(const fs::path& folder, const Catalog& catalog) {
  fs::create_directories(folder / "DataStore");
  std::mt19937 rng(19);
  for (int i = 0; i < gAudits; ++i) {
    const AuditRecord r = machineAudit(catalog, i, rng);
    std::FILE* f = std::fopen((folder / "DataStore" / (r.Hardware.Network.IP + ".dat")).c_str(), "wb");
    const std::string bytes = encodeStoredAudit(r) + "\r\n";
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

Times loadSeconds(const fs::path& folder) {
  SilentSink sink;
  ServerCore core(folder.string(), sink);
  StartupView view;
  StartupOptions options;
  options.listen = false;
  const double t = cpuSeconds(), w = wallSeconds();
  if (!core.start(view, options).ok() || core.state().clientCount() != gAudits) std::fprintf(stderr, "load failed\n");
  return {cpuSeconds() - t, wallSeconds() - w};
}

Times buildSeconds(AuditIndex& index, const fs::path& folder) {
  const double t = cpuSeconds(), w = wallSeconds();
  Expected<CatchUpResult> r = catchUpIndex(index, folder.string() + "/");
  if (!r || r->indexed != gAudits) std::fprintf(stderr, "build failed: %s\n", r.status().description().c_str());
  return {cpuSeconds() - t, wallSeconds() - w};
}

Times findMilliseconds(AuditIndex& index, std::size_t* matches) {
  const FindQuery query = *parseFindQuery("mozilla firefox < 120");
  std::vector<double> cpu, wall;
  for (int k = 0; k < 21; ++k) {
    const double t = cpuSeconds(), w = wallSeconds();
    Expected<std::vector<FoundApplication>> found = index.find(query);
    cpu.push_back((cpuSeconds() - t) * 1000), wall.push_back((wallSeconds() - w) * 1000);
    *matches = found ? found->size() : 0;
  }
  std::sort(cpu.begin(), cpu.end()), std::sort(wall.begin(), wall.end());
  return {cpu[cpu.size() / 2], wall[wall.size() / 2]};
}

std::uintmax_t sqliteBytes(const std::string& path) {
  std::uintmax_t total = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto n = fs::file_size(path + suffix, ec);
    if (!ec) total += n;
  }
  return total;
}

// D days of daily audits of M machines, few changes each; bytes per machine.
double dailyBytesPerMachine(const fs::path& folder, const Catalog& catalog) {
  IndexDatabase where;
  where.sqlitePath = (folder / "daily.sqlite").string();
  AuditIndex index(where);
  if (!index.open()) return -1;
  std::mt19937 rng(30);
  std::vector<AuditRecord> machines;
  for (int i = 0; i < gDailyMachines; ++i) machines.push_back(machineAudit(catalog, i, rng));
  const std::int64_t t0 = 1'700'000'000'000;
  for (int day = 0; day <= gDays; ++day) {
    (void)index.beginBatch();
    for (int i = 0; i < gDailyMachines; ++i) {
      auto& apps = machines[static_cast<std::size_t>(i)].Software.Applications.items;
      if (day > 0) {
        for (int c = static_cast<int>(rng() % 4); c > 0; --c) apps[rng() % (apps.size() - 1)].DisplayVersion += ".1";
        if (rng() % 10 == 0) apps.insert(apps.begin(), {"Tool " + std::to_string(rng() % 50), "", "", "", "1.0", ""});
        if (rng() % 10 == 0) apps.erase(apps.begin() + 1);
      }
      (void)index.indexAudit("10.2.0." + std::to_string(i), machines[static_cast<std::size_t>(i)], t0 + day * 86'400'000LL);
    }
    (void)index.commitBatch();
  }
  return static_cast<double>(sqliteBytes(where.sqlitePath)) / gDailyMachines;
}

void parseArgs(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    if (a == "--audits") gAudits = next();
    else if (a == "--apps") gApps = next();
    else if (a == "--days") gDays = next();
    else if (a == "--daily-machines") gDailyMachines = next();
    else if (a == "--postgres") gPostgres = true;
    else if (a == "--store" && i + 1 < argc) gStore = argv[++i];
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  parseArgs(argc, argv);
  char pattern[] = "/tmp/qv-index-bench-XXXXXX";
  const fs::path folder = gStore.empty() ? fs::path(::mkdtemp(pattern)) : fs::path(gStore);
  const Catalog catalog;
  std::error_code ec;
  fs::remove(folder / "QuorvaneIndex.sqlite", ec), fs::remove(folder / "QuorvaneIndex.sqlite-wal", ec);
  fs::remove(folder / "daily.sqlite", ec), fs::remove(folder / "daily.sqlite-wal", ec);
  if (gStore.empty() || !fs::exists(folder / "DataStore")) writeStore(folder, catalog);
  std::printf("index_bench: %d audits of %d applications\n", gAudits, gApps);

  const Times load = loadSeconds(folder);
  IndexDatabase where;
  where.sqlitePath = (folder / "QuorvaneIndex.sqlite").string();
  AuditIndex index(where);
  if (!index.open()) return 1;
  const Times build = buildSeconds(index, folder);
  std::size_t matches = 0;
  const Times find = findMilliseconds(index, &matches);
  std::printf("(CPU time of the working thread; wall time in brackets)\n");
  std::printf("start-up load        %8.2f s  (%.2f s)\n", load.cpu, load.wall);
  std::printf("index build (SQLite) %8.2f s  (%.2f s)  ratio build/load %.2f (%.2f) (target <= 2)\n", build.cpu,
              build.wall, build.cpu / load.cpu, build.wall / load.wall);
  std::printf("--find (SQLite)      %8.2f ms (%.2f ms)  %zu machines with firefox < 120 (target < 50 ms)\n", find.cpu,
              find.wall, matches);
  std::printf("index size (SQLite)  %8.0f bytes per machine (latest audit of %d applications)\n",
              static_cast<double>(sqliteBytes(where.sqlitePath)) / gAudits, gApps);

  if (gPostgres) {
    testing::PostgresCluster cluster;
    Expected<IndexDatabase> pg = cluster.start() ? cluster.createDatabase() : Expected<IndexDatabase>(Status::Error(kErrIndexDatabase, "no cluster"));
    if (pg) {
      AuditIndex pgIndex(*pg);
      if (pgIndex.open()) {
        const Times pgBuild = buildSeconds(pgIndex, folder);
        const Times pgFind = findMilliseconds(pgIndex, &matches);
        std::printf("index build (PostgreSQL) wall %.2f s, ratio to the load's wall %.2f (client CPU %.2f s)\n",
                    pgBuild.wall, pgBuild.wall / load.wall, pgBuild.cpu);
        std::printf("--find (PostgreSQL)      wall %.2f ms  %zu machines\n", pgFind.wall, matches);
      }
    } else {
      std::printf("PostgreSQL: %s\n", pg.status().description().c_str());
    }
  }
  const double daily = dailyBytesPerMachine(folder, catalog);
  std::printf("index size after %d days of daily audits of %d machines: %.0f bytes per machine\n", gDays,
              gDailyMachines, daily);
  if (gStore.empty()) fs::remove_all(folder, ec);
  return 0;
}
