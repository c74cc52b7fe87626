// The agent's command line:
//   QuorvanePro [--dir DIR] [--settings FILE] [--machine FILE] [--power dry-run]
// --dir      the program folder (settings, audit file, lock, Temp) instead of
//            the executable's folder
// --settings the settings file instead of the program folder's
//            clientSettings.txt (an installed agent: /etc/quorvane)
// --machine  audit the machine described by a JSON machine file instead of
//            this one
// --power dry-run  write the power action a command asks for to standard
//            output instead of taking it
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Status.h"

namespace quorvane::agent {

struct CommandLine {
  std::optional<std::filesystem::path> dir;
  std::optional<std::filesystem::path> settings;
  std::optional<std::filesystem::path> machine;
  bool powerDryRun = false;
  friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

inline constexpr const char* kUsage =
    "usage: QuorvanePro [--dir DIR] [--settings FILE] [--machine FILE] [--power dry-run]";

// `args` without the program name. Fails with a description of the first
// thing wrong.
Expected<CommandLine> parseCommandLine(const std::vector<std::string>& args);

}  // namespace quorvane::agent
