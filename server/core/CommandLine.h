// CommandLine: the server's command line.
//
//   QuorvaneServer [FOLDERS]                       the console window
//   QuorvaneServer [FOLDERS] --headless            no window; runs until SIGTERM/SIGINT
//   QuorvaneServer [FOLDERS] --send CAPTION --to IP[,IP...] [--message TEXT]
//   QuorvaneServer [FOLDERS] --screenshot OUTDIR   saves the window's tabs as PNG
//   QuorvaneServer [FOLDERS] --find|--history|--stale|--moved|--command-log ...
//                                                  asks the index (IndexMode.h)
//   QuorvaneServer [FOLDERS] --new-command-key     makes the key that signs commands
//
// FOLDERS: [--dir DIR] [--settings FILE] [--reports DIR]
// --dir replaces the program folder for everything kept beside the program;
// --settings names the settings file instead of the program folder's
// serverSettings.txt, --reports the folder of the report libraries (an
// installed server: /etc/quorvane/serverSettings.txt and the system's
// library folder, with DataStore in its state folder).
// Pure parsing; the modes run elsewhere.
#pragma once

#include <string>
#include <vector>

#include "common/Status.h"
#include "server/core/CommandTokens.h"
#include "server/core/ServerFolders.h"

namespace quorvane {

inline constexpr int kExitUsage = 64;

struct ServerOptions {
  enum class Mode { Window, Headless, Send, Screenshot, NewCommandKey, Help };
  Mode mode = Mode::Window;
  std::string dir;                    // empty: the executable's folder
  std::string settingsFile;           // empty: serverSettings.txt in the program folder
  std::string reports;                // empty: the program folder
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

// The folders of `options`; `executableFolder` stands in for an absent --dir.
ServerFolders serverFolders(const ServerOptions& options, const std::string& executableFolder);

}  // namespace quorvane
