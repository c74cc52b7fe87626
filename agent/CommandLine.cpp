#include "agent/CommandLine.h"
#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

Expected<CommandLine> parseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> Expected<std::string> {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        return Status::Error(kErrInvalidCall, a + " needs " + what);
      }
      return args[++i];
    };
    if (a == "--dir") {
      if (cl.dir) return Status::Error(kErrInvalidCall, "--dir given twice");
      auto v = value("a folder");
      if (!v) return v.status();
      cl.dir = *v;
    } else if (a == "--settings") {
      if (cl.settings) return Status::Error(kErrInvalidCall, "--settings given twice");
      auto v = value("a settings file");
      if (!v) return v.status();
      cl.settings = *v;
    } else if (a == "--machine") {
      if (cl.machine) return Status::Error(kErrInvalidCall, "--machine given twice");
      auto v = value("a machine file");
      if (!v) return v.status();
      cl.machine = *v;
    } else if (a == "--power") {
      auto v = value("dry-run");
      if (!v) return v.status();
      if (*v != "dry-run") return Status::Error(kErrInvalidCall, "--power knows only dry-run, not " + *v);
      cl.powerDryRun = true;
    } else {
      return Status::Error(kErrInvalidCall, "unknown argument " + a);
    }
  }
  return cl;
}

}  // namespace quorvane::agent
