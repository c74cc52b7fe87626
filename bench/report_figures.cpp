// report_figures: every report of the report library over one DataStore of
// many audits (default 10,000 sample audits, 30 to 79 applications each),
// each in a child process of its own: wall time, time per audit, peak
// resident memory above an idle child's, output size, and the time per
// audit as a multiple of the XML export's in the same run.
//
//   report_figures [--audits N] [--store DIR] [--keep] [--only NAME] [--repeat R]
//   report_figures --existing DIR [--only NAME] [--repeat R]
//
// --existing uses every .dat file of DIR/DataStore as it is (for example the
// store of fleet machines that startup_bench --prepare-only writes). The
// store is otherwise written once and reused while it holds N audits; without
// --keep a store made by this run is removed at the end. --only runs the
// XML export and the reports whose names contain NAME (for profiling).
// Every report runs R times (default 3), in turns; the shortest time and the
// largest peak count (the machine may be shared).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "reportlib/clsComputerSummary.h"
#include "reportlib/clsFleetExport.h"
#include "reportlib/clsReportSoftware.h"
#include "reportlib/clsSoftwareByVersion.h"
#include "reportlib/clsSoftwareInventory.h"
#include "reportlib/clsXMLExport.h"

namespace {

namespace fs = std::filesystem;

struct Figure {
  double seconds = 0;
  long peakKb = 0;
  bool ok = false;
};

using Make = std::function<std::unique_ptr<dovrel::clsReportBase>(dovrel::ReportHost)>;

struct Report {
  const char* name;
  const char* file;
  Make make;
};

// The paths of the store's audits, written first when fewer than `audits` are there.
std::vector<std::string> prepare(const fs::path& store, int audits, std::size_t& largest) {
  fs::create_directories(store / "DataStore");
  std::vector<std::string> paths;
  largest = 0;
  for (int i = 0; i < audits; ++i) {
    const auto record = quorvane::makeSampleAudit(30 + i % 50, static_cast<std::uint32_t>(i));
    const fs::path path = store / "DataStore" / (record.Hardware.Network.IP + "-" + std::to_string(i) + ".dat");
    largest = std::max(largest, quorvane::writeAuditRecord(record).size());
    if (!fs::exists(path)) {
      std::ofstream(path, std::ios::binary) << quorvane::encodeStoredAudit(record) << "\r\n";
    }
    paths.push_back(path.string());
  }
  return paths;
}

// Every .dat file of an existing store, in name order.
std::vector<std::string> existing(const fs::path& store, std::size_t& largest) {
  std::vector<std::string> paths;
  for (const auto& e : fs::directory_iterator(store / "DataStore")) {
    if (e.path().extension() == ".dat") paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  largest = 0;
  for (const auto& p : paths) {
    if (auto r = dovrel::loadStoredAuditFile(p)) largest = std::max(largest, quorvane::writeAuditRecord(*r).size());
  }
  return paths;
}

// Runs `body` in a child; its wall time and peak resident set.
Figure inChild(const std::function<bool()>& body) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  Figure f;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return f;
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.peakKb = usage.ru_maxrss;
  f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return f;
}

std::vector<Report> reports(const fs::path& store) {
  return {
      {"XML Data Export", "audits.xml",
       [](dovrel::ReportHost h) { return std::make_unique<dovrel::clsXMLExport>(std::move(h)); }},
      {"Report Software Assets", "software.html",
       [store](dovrel::ReportHost h) {
         auto r = std::make_unique<dovrel::clsReportSoftware>(std::move(h));
         r->setLibraryFolder(store);
         return r;
       }},
      {"Software by Version and Computer", "by-version.html",
       [](dovrel::ReportHost h) { return std::make_unique<dovrel::clsSoftwareByVersion>(std::move(h)); }},
      {"Software Inventory", "inventory.csv",
       [](dovrel::ReportHost h) { return std::make_unique<dovrel::clsSoftwareInventory>(std::move(h)); }},
      {"Computer Summary", "summary.csv",
       [](dovrel::ReportHost h) { return std::make_unique<dovrel::clsComputerSummary>(std::move(h)); }},
      {"Fleet Export", "fleet.json",
       [](dovrel::ReportHost h) { return std::make_unique<dovrel::clsFleetExport>(std::move(h)); }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  int audits = 10000;
  fs::path store = fs::temp_directory_path() / "quorvane-report-figures";
  bool keep = false;
  std::string only;
  int repeat = 3;
  bool useExisting = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--audits") && i + 1 < argc) audits = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--store") && i + 1 < argc) store = argv[++i];
    else if (!std::strcmp(argv[i], "--keep")) keep = true;
    else if (!std::strcmp(argv[i], "--existing") && i + 1 < argc) {
      store = argv[++i];
      useExisting = true;
    }
    else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
    else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: report_figures [--audits N] [--store DIR] [--keep] | --existing DIR  [--only NAME] [--repeat R]\n");
      return 2;
    }
  }
  const bool made = !useExisting && !fs::exists(store);
  std::size_t largest = 0;
  const auto paths = useExisting ? existing(store, largest) : prepare(store, audits, largest);
  audits = static_cast<int>(paths.size());
  if (audits == 0) {
    std::fprintf(stderr, "report_figures: no audit in %s\n", store.string().c_str());
    return 1;
  }
  const fs::path out = store / "out";
  fs::create_directories(out);
  const Figure idle = inChild([] { return true; });
  std::printf("%d audits, largest record %zu bytes; peak memory above an idle child (%ld KiB)\n",
              audits, largest, idle.peakKb);
  std::printf("%-33s %8s %11s %9s %12s %8s\n", "report", "wall s", "us/audit", "peak MiB",
              "output MiB", "x XML");
  std::vector<Report> chosen;
  for (const Report& report : reports(store)) {
    if (chosen.empty() || std::string(report.name).find(only) != std::string::npos) chosen.push_back(report);
  }
  std::vector<Figure> best(chosen.size());
  for (int round = 0; round < repeat; ++round) {
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      const std::string file = (out / chosen[k].file).string();
      const Figure f = inChild([&] {
        auto r = chosen[k].make(dovrel::ReportHost(QV_HOST_QUIET, [](std::int32_t, const std::string&) {}));
        return r->Init(paths) && r->doReport(0, file);
      });
      if (round == 0 || f.seconds < best[k].seconds) best[k].seconds = f.seconds;
      best[k].peakKb = std::max(best[k].peakKb, f.peakKb);
      best[k].ok = (round == 0 || best[k].ok) && f.ok;
    }
  }
  const double xmlPerAudit = best[0].seconds * 1e6 / audits;
  int failures = 0;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    const Figure& f = best[k];
    const double perAudit = f.seconds * 1e6 / audits;
    std::error_code ec;
    const auto size = fs::file_size(out / chosen[k].file, ec);
    std::printf("%-33s %8.2f %11.1f %9.1f %12.1f %8.2f%s\n", chosen[k].name, f.seconds, perAudit,
                (f.peakKb - idle.peakKb) / 1024.0, ec ? 0.0 : size / 1048576.0, perAudit / xmlPerAudit,
                f.ok ? "" : "  FAILED");
    if (!f.ok) ++failures;
  }
  if (made && !keep) fs::remove_all(store);
  else fs::remove_all(out);
  return failures == 0 ? 0 : 1;
}
