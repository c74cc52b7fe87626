#include "tools/fleet/FleetCommandLine.h"

#include <charconv>

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

Status usage(const std::string& why) { return Status::Error(5, why); }

bool toInt(const std::string& text, long long lo, long long hi, long long& out) {
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

Expected<FleetCommandLine> parseFleetCommandLine(const std::vector<std::string>& args) {
  FleetCommandLine cl;
  bool haveServer = false, haveAgents = false, haveCount = false;
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
    long long n = 0;
    if (a == "--server") {
      const auto colon = v.rfind(':');
      if (colon == std::string::npos || !toInt(v.substr(colon + 1), 1, 65535, n)) {
        return usage("--server wants ADDRESS:PORT, not " + v);
      }
      cl.options.serverIP = v.substr(0, colon);
      cl.options.serverPort = static_cast<int>(n);
      haveServer = true;
    } else if (a == "--agents") {
      if (!toInt(v, 1, kMaxFleetAgents, n)) return usage("--agents wants 1 to " + std::to_string(kMaxFleetAgents));
      cl.options.agents = static_cast<int>(n);
      haveAgents = true;
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
    } else if (a == "--generate") {
      cl.mode = FleetCommandLine::Mode::Generate;
      cl.generateDir = v;
    } else if (a == "--count") {
      if (!toInt(v, 1, kMaxFleetAgents, n)) return usage("--count wants 1 to " + std::to_string(kMaxFleetAgents));
      cl.count = static_cast<int>(n);
      haveCount = true;
    } else if (a == "--seed") {
      if (!toInt(v, 0, 0xFFFFFFFFll, n)) return usage("--seed wants a number");
      cl.seed = static_cast<std::uint32_t>(n);
    } else if (a == "--template") {
      cl.templates.emplace_back(v);
    } else {
      return usage("unknown option " + a);
    }
  }
  if (cl.mode == FleetCommandLine::Mode::Generate) {
    if (!haveCount) return usage("--generate needs --count");
    return cl;
  }
  if (!haveServer) return usage("--server is required");
  if (!haveAgents) return usage("--agents is required");
  if (cl.until == FleetCommandLine::Until::Acknowledged && cl.options.dataStore.empty()) {
    return usage("--until acknowledged needs --datastore");
  }
  return cl;
}

}  // namespace quorvane::fleet
