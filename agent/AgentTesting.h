// A test bench for one Agent: its own folder, a scripted desktop, a
// dry-run power backend writing to a string, a table resolver, and a loop.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <sstream>

#include "agent/Agent.h"
#include "agent/HostResolver.h"
#include "agent/LoopTesting.h"
#include "agent/modMisc.h"
#include "common/ScratchFolders.h"
#include "platform/DesktopScripted.h"

namespace quorvane::agent::testing {

// A new folder of this test process (removed when the process ends).
inline std::filesystem::path freshFolder(const std::string& name) {
  auto p = quorvane::testing::scratchFolder("qv-agent", name);
  std::filesystem::create_directories(p / "tmp");
  return p;
}

// A port on 127.0.0.1 that no socket uses right now, taken below the
// system's ephemeral range (32768 and up on Linux): a port handed out by
// bind(0) can be given again at once to an outgoing connection of this or
// another test process, and the agent listening on it then fails with
// "address in use". The probe binds without SO_REUSEADDR, so a port still
// held by a closing connection is skipped too.
inline long freePort() {
  static std::atomic<unsigned> next{20000u + static_cast<unsigned>(::getpid()) % 10000u};
  asio::io_context io;
  for (int attempt = 0; attempt < 12000; ++attempt) {
    const unsigned port = 20000u + (next++ - 20000u) % 12000u;
    asio::ip::tcp::acceptor a(io);
    asio::error_code ec;
    a.open(asio::ip::tcp::v4(), ec);
    a.set_option(asio::socket_base::reuse_address(false), ec);
    a.bind(asio::ip::tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"),
                                   static_cast<unsigned short>(port)), ec);
    if (!ec) return static_cast<long>(port);
  }
  return 0;
}

struct AgentBench {
  asio::io_context& io;
  std::filesystem::path folder;
  StaticHostResolver resolver{io};
  platform::DesktopScripted* desk = nullptr;
  std::ostringstream powerOut;
  std::optional<int> endedWith;
  int audits = 0;
  double random = 0.0;
  std::string ip = "127.0.0.1";  // the IP the audits record
  std::unique_ptr<Agent> agent;

  std::vector<AgentEvent> events;  // what the agent's observer saw
  int count(AgentEvent e) const { return static_cast<int>(std::count(events.begin(), events.end(), e)); }

  // `configure` may change the configuration before the agent is made.
  AgentBench(asio::io_context& loop, std::filesystem::path dir, std::int64_t timeoutMs = 15000,
             const std::function<void(AgentConfig&)>& configure = {})
      : io(loop), folder(std::move(dir)) {
    AgentConfig c;
    c.programFolder = folder;
    auto d = std::make_unique<platform::DesktopScripted>();
    desk = d.get();
    c.desktop = std::move(d);
    c.power = platform::makeDryRunPowerControl(powerOut);
    c.getInfo = [this](AuditRecord& r, const std::string&, const auto&) {
      ++audits;
      r.Hardware.Network.IP = ip;
      r.AuditDate = "audit " + std::to_string(audits);
    };
    c.random = [this] { return random; };
    c.temporaryFolder = folder / "tmp";
    c.timeoutMs = timeoutMs;
    c.onEnd = [this](int status) { endedWith = status; };
    c.observer = [this](AgentEvent e, std::string_view) { events.push_back(e); };
    if (configure) configure(c);
    agent = std::make_unique<Agent>(io, resolver, std::move(c));
  }

  void writeSettings(const std::string& text) {
    ASSERT_TRUE(writeWholeFile(folder / "clientSettings.txt", text).ok());
  }
  std::filesystem::path auditFile() const { return folder / (ip + ".dat"); }
  bool tempFolderEmpty() const { return std::filesystem::is_empty(folder / "tmp"); }
};

}  // namespace quorvane::agent::testing
