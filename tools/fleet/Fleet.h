// Fleet: many real agents in one process, one simulated PC each.
//
// Every agent is the agent's own code (settings file, audit cycle, CSocket
// upload, command listener) with its own program folder, its own loopback
// address 127.0.x.y (both its sockets are bound to it, so the server sees a
// distinct client per agent), its own listening port, and a machine from the
// fixture files (agent i audits machine file i modulo their number). The
// record's IP is always the agent's own loopback address, whatever the
// fixture says, so that the server's commands come back to it on loopback.
// Power commands always go to the dry-run backend; nothing in this class can
// turn that off.
//
// All agents share one io_context and a table resolver that never asks the
// system (the server must be given as a dotted address). Single-threaded:
// call everything from the loop's thread.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "agent/Agent.h"
#include "agent/HostResolver.h"
#include "common/Status.h"

namespace quorvane::fleet {

struct FleetOptions {
  std::string serverIP = "127.0.0.1";  // dotted IPv4 (loopback)
  int serverPort = 0;
  int agents = 1;
  std::filesystem::path machines;       // folder of machine files (*.json)
  int listenBase = 47000;               // agent i listens on listenBase + i; 0: no listening
  int concurrency = 0;                  // agents starting at once (0: all)
  std::filesystem::path workDir;        // the agents' program folders go here
  std::filesystem::path dataStore;      // the server's DataStore: acknowledgements (optional)
  std::string extraSettings;            // more clientSettings.txt lines
  std::int64_t timeoutMs = 15000;       // the agents' tmrTimeout
  // Burst: every agent audits first and holds its upload; release() then
  // starts all uploads at once (load measurements).
  bool burst = false;
};

struct FleetSummary {
  int agents = 0;
  int running = 0;
  long uploadsStarted = 0;
  long uploadsSent = 0;
  long uploadsFailed = 0;
  long uploadsAcknowledged = 0;
  long commandsReceived = 0;
  long commandsRefused = 0;
  long errors = 0;            // error reports (critical message boxes) and start-up failures
  long messagesShown = 0;     // the server's messages (information boxes)
  std::map<std::string, long> commands;  // by token name
};

// One line: "agents 50, running 50, uploads sent 100, ...".
std::string formatSummary(const FleetSummary& s);
std::string summaryJson(const FleetSummary& s);

class Fleet {
 public:
  Fleet(asio::io_context& io, FleetOptions options);
  ~Fleet();
  Fleet(const Fleet&) = delete;
  Fleet& operator=(const Fleet&) = delete;

  // Checks the options, writes each agent's folder and settings, loads the
  // machine files. Nothing runs yet.
  Status prepare();
  // Starts the agents (at most `concurrency` whose first upload is open).
  void start();
  // Burst mode: starts every held upload now.
  void release();
  // The orderly end of every agent still running.
  void stopAll();

  FleetSummary summary() const;
  int size() const { return static_cast<int>(sims_.size()); }
  bool allStarted() const { return started_ == size(); }
  bool allEnded() const;
  // Every agent's first upload has settled (sent or failed); in burst mode
  // counted from release().
  bool firstUploadsSettled() const { return firstSettled_ == size(); }
  // Every agent's latest upload is in the server's files (needs dataStore).
  bool allAcknowledged() const;
  // Compares pending uploads with the server's files now (also on a timer).
  void checkAcknowledgements();

  const std::string& address(int i) const;
  const std::filesystem::path& folder(int i) const;
  const agent::Agent& agentAt(int i) const;
  const std::vector<std::string>& errorTexts() const { return errorTexts_; }

  // Called after every change of the counts.
  std::function<void()> onProgress;

 private:
  struct Sim;
  class Desktop;

  void startOne(Sim& s);
  void startNext();
  void onEvent(Sim& s, agent::AgentEvent event, std::string_view detail);
  void settleFirst(Sim& s);
  void progress();
  void armAckTimer();

  asio::io_context& io_;
  FleetOptions options_;
  agent::StaticHostResolver resolver_;
  std::vector<std::unique_ptr<Sim>> sims_;
  std::vector<std::filesystem::path> machineFiles_;
  std::map<std::filesystem::path, agent::AuditFn> machineAudits_;
  std::ostringstream powerOut_;  // the dry-run backend's lines
  asio::steady_timer ackTimer_;
  FleetSummary counts_;
  std::vector<std::string> errorTexts_;
  int started_ = 0;
  int next_ = 0;
  int firstSettled_ = 0;
  bool released_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace quorvane::fleet
