// The command line of quorvane-fleet (pure parsing).
//
//   quorvane-fleet --server 127.0.0.1:PORT --agents N [--machines DIR]
//                  [--listen-base PORT] [--concurrency K] [--work DIR]
//                  [--datastore DIR] [--accept-commands-from LIST] [--command-public-key BASE64]
//                  [--until uploaded|acknowledged|ended] [--status FILE]
//                  [--burst] [--timeout-ms MS] [--max-seconds S]
//   quorvane-fleet --generate DIR --count N [--seed S] [--template FILE]...
#pragma once

#include <string>
#include <vector>

#include "common/Status.h"
#include "tools/fleet/Fleet.h"

namespace quorvane::fleet {

struct FleetCommandLine {
  enum class Mode { Run, Generate, Help };
  enum class Until { Ended, Uploaded, Acknowledged };
  Mode mode = Mode::Run;
  FleetOptions options;
  Until until = Until::Ended;
  std::filesystem::path statusFile;
  int maxSeconds = 0;  // 0: no limit
  // --generate
  std::filesystem::path generateDir;
  int count = 0;
  std::uint32_t seed = 1;
  std::vector<std::filesystem::path> templates;
};

Expected<FleetCommandLine> parseFleetCommandLine(const std::vector<std::string>& args);
extern const char* const kFleetUsage;

}  // namespace quorvane::fleet
