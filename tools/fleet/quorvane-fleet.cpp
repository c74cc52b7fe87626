// quorvane-fleet: runs a fleet of real agents on loopback against a server,
// or writes machine fixture files for one. See FleetCommandLine.h.
#include <sys/resource.h>
#include <unistd.h>

#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "agent/modMisc.h"
#include "tools/fleet/Fleet.h"
#include "tools/fleet/FleetCommandLine.h"
#include "tools/fleet/FleetMachines.h"

namespace fs = std::filesystem;
using namespace quorvane;
using namespace quorvane::fleet;

namespace {

// Every agent holds a lock file, a listening socket and an upload socket.
void raiseOpenFileLimit() {
  rlimit r{};
  if (getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
    r.rlim_cur = r.rlim_max;
    setrlimit(RLIMIT_NOFILE, &r);
  }
}

void writeStatus(const fs::path& file, const FleetSummary& s) {
  if (file.empty()) return;
  const fs::path temp = file.string() + ".tmp";
  if (agent::writeWholeFile(temp, summaryJson(s) + "\n")) {
    std::error_code ec;
    fs::rename(temp, file, ec);
  }
}

int generate(const FleetCommandLine& cl) {
  auto templates = cl.templates.empty() ? defaultMachineTemplates() : cl.templates;
  Status st = writeFleetMachines(cl.generateDir, cl.count, cl.seed, templates);
  if (!st) {
    std::cerr << "quorvane-fleet: " << st.description() << "\n";
    return 1;
  }
  std::cout << "quorvane-fleet: " << cl.count << " machine files in " << cl.generateDir.string() << "\n";
  return 0;
}

// A work folder when none is given, and machine files in it when no folder
// of them is given. False (with a message) when either cannot be made.
bool prepareFolders(FleetOptions& o) {
  if (o.workDir.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "quorvane-fleet.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
      std::perror("quorvane-fleet: mkdtemp");
      return false;
    }
    o.workDir = tmpl;
  }
  if (o.machines.empty()) {
    o.machines = o.workDir / "machines";
    if (listMachineFiles(o.machines).empty()) {
      Status st = writeFleetMachines(o.machines, std::min(o.agents, 1000), 1, defaultMachineTemplates());
      if (!st) {
        std::cerr << "quorvane-fleet: " << st.description() << "\n";
        return false;
      }
    }
  }
  return true;
}

bool goalReached(const Fleet& fleet, FleetCommandLine::Until until) {
  switch (until) {
    case FleetCommandLine::Until::Ended: return fleet.allEnded();
    case FleetCommandLine::Until::Uploaded: return fleet.firstUploadsSettled();
    case FleetCommandLine::Until::Acknowledged: return fleet.allAcknowledged();
  }
  return false;
}

// The summary on standard output (and in the status file); the exit status.
int finish(Fleet& fleet, const FleetCommandLine& cl, double seconds, bool reached) {
  fleet.checkAcknowledgements();
  const FleetSummary s = fleet.summary();
  writeStatus(cl.statusFile, s);
  for (const std::string& e : fleet.errorTexts()) std::cerr << "quorvane-fleet: error report from " << e << "\n";
  std::cout << "quorvane-fleet: " << formatSummary(s) << "\n";
  if (cl.until != FleetCommandLine::Until::Ended) {
    const long done = cl.until == FleetCommandLine::Until::Acknowledged ? s.uploadsAcknowledged : s.uploadsSent;
    std::printf("quorvane-fleet: %ld uploads in %.3f s (%.1f uploads/s)%s\n", done, seconds,
                seconds > 0 ? done / seconds : 0.0, reached ? "" : " - goal not reached");
  }
  std::fflush(stdout);
  return (s.errors == 0 && (reached || cl.until == FleetCommandLine::Until::Ended)) ? 0 : 1;
}

// Runs the fleet until its goal, a signal or --max-seconds.
int run(FleetCommandLine& cl) {
  FleetOptions& o = cl.options;
  asio::io_context io;
  auto work = asio::make_work_guard(io);
  Fleet fleet(io, o);
  if (Status st = fleet.prepare(); !st) {
    std::cerr << "quorvane-fleet: " << st.description() << "\n";
    return 1;
  }
  std::cerr << "quorvane-fleet: " << o.agents << " agents in " << o.workDir.string() << ", server "
            << o.serverIP << ":" << o.serverPort << "\n";

  using Clock = std::chrono::steady_clock;
  Clock::time_point releasedAt{};
  bool reached = false;
  bool statusDue = false;
  asio::steady_timer statusTimer(io);
  fleet.onProgress = [&] {
    if (!statusDue && !cl.statusFile.empty()) {
      statusDue = true;
      statusTimer.expires_after(std::chrono::milliseconds(100));
      statusTimer.async_wait([&](const asio::error_code&) {
        statusDue = false;
        writeStatus(cl.statusFile, fleet.summary());
      });
    }
    if (!reached && fleet.allStarted() && goalReached(fleet, cl.until)) {
      reached = true;
      asio::post(io, [&] {
        if (cl.until != FleetCommandLine::Until::Ended) fleet.stopAll();
        io.stop();
      });
    }
  };

  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code& ec, int) {
    if (ec) return;
    fleet.stopAll();
    io.stop();
  });
  asio::steady_timer deadline(io);
  if (cl.maxSeconds > 0) {
    deadline.expires_after(std::chrono::seconds(cl.maxSeconds));
    deadline.async_wait([&](const asio::error_code& ec) {
      if (ec) return;
      std::cerr << "quorvane-fleet: --max-seconds reached\n";
      fleet.stopAll();
      io.stop();
    });
  }

  const auto startedAt = Clock::now();
  fleet.start();
  if (o.burst) {
    // Every agent has audited and holds its upload: all go at once now.
    std::cerr << "quorvane-fleet: " << o.agents << " audits in "
              << std::chrono::duration<double>(Clock::now() - startedAt).count() << " s; releasing the uploads\n";
    releasedAt = Clock::now();
    fleet.release();
  }
  io.run();
  const double seconds = std::chrono::duration<double>(Clock::now() - (o.burst ? releasedAt : startedAt)).count();
  return finish(fleet, cl, seconds, reached);
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = parseFleetCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed) {
    std::cerr << "quorvane-fleet: " << parsed.status().description() << "\n" << kFleetUsage << "\n";
    return 2;
  }
  FleetCommandLine cl = std::move(*parsed);
  if (cl.mode == FleetCommandLine::Mode::Help) {
    std::cout << kFleetUsage << "\n";
    return 0;
  }
  if (cl.mode == FleetCommandLine::Mode::Generate) return generate(cl);

  raiseOpenFileLimit();
  if (!prepareFolders(cl.options)) return 1;
  return run(cl);
}
