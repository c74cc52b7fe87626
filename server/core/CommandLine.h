// CommandLine: the server's command line.
//
//   QuorvaneServer [--dir DIR]                       the console window
//   QuorvaneServer [--dir DIR] --headless            no window; runs until SIGTERM/SIGINT
//   QuorvaneServer [--dir DIR] --send CAPTION --to IP[,IP...] [--message TEXT]
//   QuorvaneServer [--dir DIR] --screenshot OUTDIR   saves the window's tabs as PNG
//
// --dir replaces the program folder for everything kept beside the program.
// Pure parsing; the modes run elsewhere.
#pragma once

#include <string>
#include <vector>

#include "common/Status.h"
#include "server/core/CommandTokens.h"

namespace quorvane {

inline constexpr int kExitUsage = 64;

struct ServerOptions {
  enum class Mode { Window, Headless, Send, Screenshot, Help };
  Mode mode = Mode::Window;
  std::string dir;                    // empty: the executable's folder
  std::string sendCaption;
  CommandCode sendCode = CommandCode::CheckStatus;
  std::vector<std::string> sendTo;
  bool hasMessage = false;
  std::string message;                // UTF-8 as given
  std::string screenshotDir;
};

// `args` without the program name.
Expected<ServerOptions> parseServerCommandLine(const std::vector<std::string>& args);

std::string serverUsage();

}  // namespace quorvane
