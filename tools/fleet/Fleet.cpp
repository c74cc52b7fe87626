#include "tools/fleet/Fleet.h"

#include <system_error>

#include "agent/AgentMachine.h"
#include "common/ErrorNumbers.h"
#include "agent/modMisc.h"
#include "platform/Desktop.h"
#include "platform/Power.h"
#include "tools/fleet/FleetMachines.h"

namespace quorvane::fleet {

namespace fs = std::filesystem;
using agent::AgentEvent;

// What the person at each simulated PC would see: counted, never waited on.
class Fleet::Desktop final : public platform::Desktop {
 public:
  Desktop(Fleet& fleet, int index) : fleet_(fleet), index_(index) {}
  int messageBox(std::string_view text, int style, std::string_view) override {
    if ((style & 0x70) == platform::kMbCritical) {
      ++fleet_.counts_.errors;
      if (fleet_.errorTexts_.size() < 20) {
        fleet_.errorTexts_.push_back(fleet_.address(index_) + ": " + std::string(text));
      }
    } else if ((style & 0x70) == platform::kMbInformation) {
      ++fleet_.counts_.messagesShown;
    }
    fleet_.progress();
    return (style & 0x0F) == platform::kMbYesNo ? platform::kAnswerNo : platform::kAnswerOk;
  }
  bool addTrayIcon(std::string_view, std::function<void(int)>) override { return false; }
  void removeTrayIcon() override {}
  void bringToForeground() override {}
  int popupMenu(const std::vector<std::string>&) override { return -1; }
  void showInputBox(std::string_view, platform::InputBoxEvents) override {}
  void closeInputBox() override {}

 private:
  Fleet& fleet_;
  int index_;
};

struct Fleet::Sim {
  int index = 0;
  std::string address;
  fs::path folder;
  std::unique_ptr<agent::Agent> agent;
  bool started = false;
  bool firstSettled = false;
  bool ended = false;
  long sent = 0;
  long acknowledged = 0;
  std::optional<std::string> pendingAck;  // payload the server's file must hold
};

std::string formatSummary(const FleetSummary& s) {
  std::string out = "agents " + std::to_string(s.agents) + ", running " + std::to_string(s.running) +
                    ", uploads sent " + std::to_string(s.uploadsSent) + ", uploads acknowledged " +
                    std::to_string(s.uploadsAcknowledged) + ", upload failures " +
                    std::to_string(s.uploadsFailed) + ", commands received " +
                    std::to_string(s.commandsReceived);
  if (!s.commands.empty()) {
    out += " (";
    bool first = true;
    for (const auto& [name, n] : s.commands) {
      out += (first ? "" : ", ") + name + " " + std::to_string(n);
      first = false;
    }
    out += ")";
  }
  out += ", commands refused " + std::to_string(s.commandsRefused) + ", errors " + std::to_string(s.errors);
  return out;
}

std::string summaryJson(const FleetSummary& s) {
  std::string out = "{\"agents\": " + std::to_string(s.agents) + ", \"running\": " + std::to_string(s.running) +
                    ", \"uploadsStarted\": " + std::to_string(s.uploadsStarted) +
                    ", \"uploadsSent\": " + std::to_string(s.uploadsSent) +
                    ", \"uploadsAcknowledged\": " + std::to_string(s.uploadsAcknowledged) +
                    ", \"uploadsFailed\": " + std::to_string(s.uploadsFailed) +
                    ", \"commandsReceived\": " + std::to_string(s.commandsReceived) +
                    ", \"commandsRefused\": " + std::to_string(s.commandsRefused) +
                    ", \"errors\": " + std::to_string(s.errors) +
                    ", \"messagesShown\": " + std::to_string(s.messagesShown) + ", \"commands\": {";
  bool first = true;
  for (const auto& [name, n] : s.commands) {
    out += (first ? "\"" : ", \"") + name + "\": " + std::to_string(n);
    first = false;
  }
  return out + "}}";
}

Fleet::Fleet(asio::io_context& io, FleetOptions options)
    : io_(io), options_(std::move(options)), resolver_(io), ackTimer_(io) {}

Fleet::~Fleet() {
  alive_.reset();
  ackTimer_.cancel();
  // Agents first: their sockets and timers live on the loop.
  for (auto& s : sims_) s->agent.reset();
}

Status Fleet::prepare() {
  const auto bad = [](const std::string& what) { return Status::Error(kErrInvalidCall, "Invalid procedure call or argument: " + what); };
  if (options_.agents < 1 || options_.agents > kMaxFleetAgents) {
    return bad("--agents must be 1 to " + std::to_string(kMaxFleetAgents));
  }
  auto server = agent::parseDottedAddress(options_.serverIP);
  if (!server || !server->is_loopback()) return bad("the server must be a loopback address (127.x.y.z)");
  if (options_.serverPort < 1 || options_.serverPort > 65535) return bad("server port " + std::to_string(options_.serverPort));
  if (options_.listenBase != 0 &&
      (options_.listenBase < 1024 || options_.listenBase + options_.agents - 1 > 65535)) {
    return bad("listening ports " + std::to_string(options_.listenBase) + " to " +
               std::to_string(options_.listenBase + options_.agents - 1));
  }
  if (options_.workDir.empty()) return bad("no work folder");
  machineFiles_ = listMachineFiles(options_.machines);
  if (machineFiles_.empty()) return Status::Error(kErrFileNotFound, "File not found: no machine files (*.json) in " + options_.machines.string());

  std::error_code ec;
  fs::create_directories(options_.workDir, ec);
  if (ec) return Status::Error(kErrPathAccess, "Path/File access error: " + options_.workDir.string() + " (" + ec.message() + ")");

  counts_.agents = options_.agents;
  for (int i = 0; i < options_.agents; ++i) {
    auto s = std::make_unique<Sim>();
    s->index = i;
    s->address = fleetAddress(i);
    s->folder = options_.workDir / ("agent-" + s->address);
    fs::create_directories(s->folder / "Temp", ec);
    if (ec) return Status::Error(kErrPathAccess, "Path/File access error: " + s->folder.string() + " (" + ec.message() + ")");
    std::string settings = "ServerIP:" + options_.serverIP + "\r\nConnectPortNumber:" +
                           std::to_string(options_.serverPort) + "\r\nListenPortNumber:" +
                           std::to_string(options_.listenBase == 0 ? 0 : options_.listenBase + i) + "\r\n";
    // Burst: the upload waits on tmrAuditDelay until release() fires it.
    if (options_.burst) settings += "ReauditDelayTime:86400-86400\r\n";
    settings += options_.extraSettings;
    if (Status st = agent::writeWholeFile(s->folder / agent::kSettingsFileName, settings); !st) return st;

    const fs::path& machine = machineFiles_[static_cast<std::size_t>(i) % machineFiles_.size()];
    auto cached = machineAudits_.find(machine);
    if (cached == machineAudits_.end()) {
      auto audit = agent::makeMachineAudit(machine);
      if (!audit) return Status::Error(audit.status().number(), machine.string() + ": " + audit.status().description());
      cached = machineAudits_.emplace(machine, std::move(*audit)).first;
    }
    agent::AuditFn machineAudit = cached->second;
    const std::string address = s->address;

    agent::AgentConfig c;
    c.programFolder = s->folder;
    c.temporaryFolder = s->folder / "Temp";
    c.desktop = std::make_unique<Desktop>(*this, i);
    c.power = platform::makeDryRunPowerControl(powerOut_);  // always: a simulated PC never powers off
    c.getInfo = [machineAudit, address](AuditRecord& r, const std::string& serverIP,
                                        const std::function<void(const std::string&)>& report) {
      machineAudit(r, serverIP, report);
      r.Hardware.Network.IP = address;  // the simulated PC answers on its loopback address only
    };
    c.random = [] { return 0.0; };
    c.timeoutMs = options_.timeoutMs;
    c.localAddress = s->address;
    Sim* sim = s.get();
    std::weak_ptr<int> alive = alive_;
    c.onEnd = [this, sim, alive](int status) {
      if (alive.expired()) return;
      sim->ended = true;
      if (status != 0) ++counts_.errors;
      settleFirst(*sim);
      progress();
    };
    c.observer = [this, sim, alive](AgentEvent e, std::string_view d) {
      if (!alive.expired()) onEvent(*sim, e, d);
    };
    s->agent = std::make_unique<agent::Agent>(io_, resolver_, std::move(c));
    sims_.push_back(std::move(s));
  }
  if (!options_.dataStore.empty()) armAckTimer();
  return Status::Ok();
}

void Fleet::start() {
  const int k = options_.concurrency > 0 && !options_.burst ? options_.concurrency : size();
  for (int i = 0; i < k && next_ < size(); ++i) startNext();
}

void Fleet::startNext() {
  if (next_ >= size()) return;
  Sim& s = *sims_[next_++];
  startOne(s);
}

void Fleet::startOne(Sim& s) {
  s.started = true;
  ++started_;
  const bool running = s.agent->Form_Load();
  // An agent that ended at start-up has settled (in burst mode the first
  // upload is counted from release()).
  if (!running) settleFirst(s);
  progress();
}

void Fleet::release() {
  if (!options_.burst || released_) return;
  released_ = true;
  for (auto& s : sims_) {
    if (s->ended || !s->started) continue;
    s->agent->tmrAuditDelay_Timer();
  }
  progress();
}

void Fleet::stopAll() {
  for (auto& s : sims_) {
    if (s->started && !s->ended) s->agent->Form_Unload();
  }
  progress();
}

void Fleet::settleFirst(Sim& s) {
  if (s.firstSettled) return;
  if (options_.burst && !released_ && !s.ended) return;
  s.firstSettled = true;
  ++firstSettled_;
  // Concurrency: one more agent may start now (later, outside this handler).
  if (next_ < size()) {
    std::weak_ptr<int> alive = alive_;
    asio::post(io_, [this, alive] {
      if (!alive.expired()) startNext();
    });
  }
}

void Fleet::onEvent(Sim& s, AgentEvent event, std::string_view detail) {
  switch (event) {
    case AgentEvent::UploadStarted:
      ++counts_.uploadsStarted;
      break;
    case AgentEvent::UploadSent: {
      ++counts_.uploadsSent;
      ++s.sent;
      if (!options_.dataStore.empty()) {
        auto bytes = agent::readWholeFile(s.agent->auditFile());
        if (bytes) s.pendingAck = std::move(*bytes);
      }
      settleFirst(s);
      break;
    }
    case AgentEvent::UploadFailed:
      ++counts_.uploadsFailed;
      settleFirst(s);
      break;
    case AgentEvent::CommandReceived:
      ++counts_.commandsReceived;
      ++counts_.commands[std::string(detail)];
      break;
    case AgentEvent::CommandRefused:
      ++counts_.commandsRefused;
      break;
  }
  progress();
}

void Fleet::checkAcknowledgements() {
  if (options_.dataStore.empty()) return;
  bool changed = false;
  for (auto& s : sims_) {
    if (!s->pendingAck) continue;
    auto stored = agent::readWholeFile(options_.dataStore / (s->address + ".dat"));
    if (!stored) continue;
    const std::string& sent = *s->pendingAck;
    // The server keeps the upload with one CR LF more; a plain sink keeps it as is.
    if (*stored == sent || (stored->size() == sent.size() + 2 && stored->compare(0, sent.size(), sent) == 0 &&
                            stored->compare(sent.size(), 2, "\r\n") == 0)) {
      s->pendingAck.reset();
      ++s->acknowledged;
      ++counts_.uploadsAcknowledged;
      changed = true;
    }
  }
  if (changed) progress();
}

bool Fleet::allAcknowledged() const {
  if (options_.dataStore.empty()) return false;
  for (const auto& s : sims_) {
    if (s->pendingAck || s->acknowledged == 0) return false;
  }
  return true;
}

bool Fleet::allEnded() const {
  for (const auto& s : sims_) {
    if (!s->ended) return false;
  }
  return true;
}

void Fleet::armAckTimer() {
  ackTimer_.expires_after(std::chrono::milliseconds(25));
  std::weak_ptr<int> alive = alive_;
  ackTimer_.async_wait([this, alive](const asio::error_code& ec) {
    if (ec || alive.expired()) return;
    checkAcknowledgements();
    armAckTimer();
  });
}

const std::string& Fleet::address(int i) const { return sims_.at(i)->address; }
const fs::path& Fleet::folder(int i) const { return sims_.at(i)->folder; }
const agent::Agent& Fleet::agentAt(int i) const { return *sims_.at(i)->agent; }

FleetSummary Fleet::summary() const {
  FleetSummary s = counts_;
  s.running = 0;
  for (const auto& sim : sims_) s.running += sim->started && !sim->ended;
  return s;
}

void Fleet::progress() {
  if (onProgress) onProgress();
}

}  // namespace quorvane::fleet
