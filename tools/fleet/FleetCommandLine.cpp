#include "tools/fleet/FleetCommandLine.h"

#include <charconv>
#include <optional>

#include "common/ErrorNumbers.h"
#include "tools/fleet/FleetMachines.h"

namespace quorvane::fleet {

const char* const kFleetUsage =
    "usage: quorvane-fleet --server 127.0.0.1:PORT --agents N [--machines DIR] [--listen-base PORT]\n"
    "                      [--concurrency K] [--work DIR] [--datastore DIR]\n"
    "                      [--accept-commands-from LIST] [--command-public-key BASE64]\n"
    "                      [--until ended|uploaded|acknowledged]\n"
    "                      [--status FILE] [--burst] [--timeout-ms MS] [--max-seconds S]\n"
    "       quorvane-fleet --generate DIR --count N [--seed S] [--template FILE]...";

namespace {

Status usage(const std::string& why) { return Status::Error(kErrInvalidCall, why); }

bool toInt(const std::string& text, long long lo, long long hi, long long& out) {
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

struct Required {
  bool server = false, agents = false, count = false;
};

// One of the options of a fleet run with its value; nullopt when `a` is none of them.
std::optional<Status> runOption(FleetCommandLine& cl, const std::string& a, const std::string& v, Required& seen) {
  long long n = 0;
  if (a == "--server") {
    const auto colon = v.rfind(':');
    if (colon == std::string::npos || !toInt(v.substr(colon + 1), 1, 65535, n)) {
      return usage("--server wants ADDRESS:PORT, not " + v);
    }
    cl.options.serverIP = v.substr(0, colon);
    cl.options.serverPort = static_cast<int>(n);
    seen.server = true;
  } else if (a == "--agents") {
    if (!toInt(v, 1, kMaxFleetAgents, n)) return usage("--agents wants 1 to " + std::to_string(kMaxFleetAgents));
    cl.options.agents = static_cast<int>(n);
    seen.agents = true;
  } else if (a == "--machines") {
    cl.options.machines = v;
  } else if (a == "--listen-base") {
    if (!toInt(v, 0, 65535, n)) return usage("--listen-base wants a port");
    cl.options.listenBase = static_cast<int>(n);
  } else if (a == "--concurrency") {
    if (!toInt(v, 0, kMaxFleetAgents, n)) return usage("--concurrency wants a count");
    cl.options.concurrency = static_cast<int>(n);
  } else if (a == "--work") {
    cl.options.workDir = v;
  } else if (a == "--datastore") {
    cl.options.dataStore = v;
  } else if (a == "--accept-commands-from") {
    if (v.find_first_of("\r\n") != std::string::npos) return usage("--accept-commands-from: one line only");
    cl.options.extraSettings += "AcceptCommandsFrom:" + v + "\r\n";
  } else if (a == "--command-public-key") {
    if (v.find_first_of("\r\n") != std::string::npos) return usage("--command-public-key: one line only");
    cl.options.extraSettings += "CommandPublicKey:" + v + "\r\n";
  } else if (a == "--until") {
    if (v == "ended") cl.until = FleetCommandLine::Until::Ended;
    else if (v == "uploaded") cl.until = FleetCommandLine::Until::Uploaded;
    else if (v == "acknowledged") cl.until = FleetCommandLine::Until::Acknowledged;
    else return usage("--until wants ended, uploaded or acknowledged");
  } else if (a == "--status") {
    cl.statusFile = v;
  } else if (a == "--timeout-ms") {
    if (!toInt(v, 1, 3600000, n)) return usage("--timeout-ms wants 1 to 3600000");
    cl.options.timeoutMs = n;
  } else if (a == "--max-seconds") {
    if (!toInt(v, 0, 86400, n)) return usage("--max-seconds wants 0 to 86400");
    cl.maxSeconds = static_cast<int>(n);
  } else {
    return std::nullopt;
  }
  return Status::Ok();
}

// --generate and its options with their value; nullopt when `a` is none of them.
std::optional<Status> generateOption(FleetCommandLine& cl, const std::string& a, const std::string& v,
                                     Required& seen) {
  long long n = 0;
  if (a == "--generate") {
    cl.mode = FleetCommandLine::Mode::Generate;
    cl.generateDir = v;
  } else if (a == "--count") {
    if (!toInt(v, 1, kMaxFleetAgents, n)) return usage("--count wants 1 to " + std::to_string(kMaxFleetAgents));
    cl.count = static_cast<int>(n);
    seen.count = true;
  } else if (a == "--seed") {
    if (!toInt(v, 0, 0xFFFFFFFFll, n)) return usage("--seed wants a number");
    cl.seed = static_cast<std::uint32_t>(n);
  } else if (a == "--template") {
    cl.templates.emplace_back(v);
  } else {
    return std::nullopt;
  }
  return Status::Ok();
}

}  // namespace

Expected<FleetCommandLine> parseFleetCommandLine(const std::vector<std::string>& args) {
  FleetCommandLine cl;
  Required seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      cl.mode = FleetCommandLine::Mode::Help;
      return cl;
    }
    if (a == "--burst") {
      cl.options.burst = true;
      continue;
    }
    if (i + 1 >= args.size()) return usage(a + " needs a value");
    const std::string& v = args[++i];
    std::optional<Status> applied = runOption(cl, a, v, seen);
    if (!applied) applied = generateOption(cl, a, v, seen);
    if (!applied) return usage("unknown option " + a);
    if (!applied->ok()) return *applied;
  }
  if (cl.mode == FleetCommandLine::Mode::Generate) {
    if (!seen.count) return usage("--generate needs --count");
    return cl;
  }
  if (!seen.server) return usage("--server is required");
  if (!seen.agents) return usage("--agents is required");
  if (cl.until == FleetCommandLine::Until::Acknowledged && cl.options.dataStore.empty()) {
    return usage("--until acknowledged needs --datastore");
  }
  return cl;
}

}  // namespace quorvane::fleet
