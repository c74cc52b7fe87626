#include "server/core/CommandLine.h"

namespace quorvane {
namespace {

Status usageError(std::string text) { return Status::Error(kExitUsage, std::move(text)); }

std::vector<std::string> splitAddresses(const std::string& list) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto comma = list.find(',', start);
    const std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!part.empty()) out.push_back(part);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

}  // namespace

std::string serverUsage() {
  return "Usage: QuorvaneServer [FOLDERS]\n"
         "       QuorvaneServer [FOLDERS] --headless\n"
         "       QuorvaneServer [FOLDERS] --send CAPTION --to IP[,IP...] [--message TEXT]\n"
         "       QuorvaneServer [FOLDERS] --screenshot OUTDIR\n"
         "       QuorvaneServer [FOLDERS] --new-command-key\n"
         "       QuorvaneServer [FOLDERS] --find QUERY | --history IP [--since YYYY-MM-DD]\n"
         "                      | --stale DAYS | --moved\n"
         "                      | --command-log [--since YYYY-MM-DD]  [--format text|csv|json]\n"
         "FOLDERS: [--dir DIR] [--settings FILE] [--reports DIR]: the program folder\n"
         "(DataStore; by default the executable's folder), the settings file (by\n"
         "default serverSettings.txt in the program folder) and the folder of the\n"
         "report libraries (by default the program folder).\n"
         "CAPTION is a request button: \"Request Re-Audit\", \"Check Client Status\",\n"
         "\"Reboot Windows\", \"Log-Off Windows\", \"Shutdown Windows\", \"Close Quorvane\",\n"
         "or \"Send Message\" with --message.\n"
         "--send exits 0 when every row ended \"Request Sent\" or \"Client Running\",\n"
         "2 when any timed out, 3 when any refused the command (and none timed out),\n"
         "1 when an address has no row; 64 for a bad command line.\n"
         "--new-command-key writes commandKey.pem beside the server (never replacing one)\n"
         "and prints the CommandPublicKey line for the agents' settings.\n";
}

ServerFolders serverFolders(const ServerOptions& options, const std::string& executableFolder) {
  ServerFolders folders(options.dir.empty() ? executableFolder : options.dir);
  folders.settingsFile = options.settingsFile;
  folders.reports = options.reports;
  return folders;
}

Expected<ServerOptions> parseServerCommandLine(const std::vector<std::string>& args) {
  ServerOptions o;
  bool headless = false, send = false, screenshot = false, to = false, newKey = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) -> Status {
      if (i + 1 >= args.size()) return usageError(a + " needs a value");
      out = args[++i];
      return Status::Ok();
    };
    Status st;
    if (a == "--dir") {
      st = value(o.dir);
      if (st.ok() && o.dir.empty()) st = usageError("--dir needs a folder");
    } else if (a == "--settings") {
      st = value(o.settingsFile);
      if (st.ok() && o.settingsFile.empty()) st = usageError("--settings needs a file");
    } else if (a == "--reports") {
      st = value(o.reports);
      if (st.ok() && o.reports.empty()) st = usageError("--reports needs a folder");
    } else if (a == "--headless") {
      headless = true;
    } else if (a == "--send") {
      send = true;
      st = value(o.sendCaption);
    } else if (a == "--to") {
      to = true;
      std::string list;
      st = value(list);
      for (std::string& ip : splitAddresses(list)) o.sendTo.push_back(std::move(ip));
    } else if (a == "--message") {
      o.hasMessage = true;
      st = value(o.message);
    } else if (a == "--screenshot") {
      screenshot = true;
      st = value(o.screenshotDir);
    } else if (a == "--new-command-key") {
      newKey = true;
    } else if (a == "--help" || a == "-h") {
      o.mode = ServerOptions::Mode::Help;
      return o;
    } else {
      st = usageError("unknown argument: " + a);
    }
    if (!st.ok()) return st;
  }
  if (int(headless) + int(send) + int(screenshot) + int(newKey) > 1) {
    return usageError("--headless, --send, --screenshot and --new-command-key exclude each other");
  }
  if (send) {
    const auto code = commandCodeForCaption(o.sendCaption);
    if (!code) return usageError("no button has the caption \"" + o.sendCaption + "\"");
    o.sendCode = *code;
    if (o.sendTo.empty()) return usageError("--send needs --to IP[,IP...]");
    if (o.sendCode == CommandCode::Message && !o.hasMessage) {
      return usageError("\"Send Message\" needs --message TEXT");
    }
    if (o.sendCode != CommandCode::Message && o.hasMessage) {
      return usageError("--message goes with \"Send Message\" only");
    }
    o.mode = ServerOptions::Mode::Send;
  } else if (to || o.hasMessage) {
    return usageError("--to and --message go with --send");
  } else if (headless) {
    o.mode = ServerOptions::Mode::Headless;
  } else if (newKey) {
    o.mode = ServerOptions::Mode::NewCommandKey;
  } else if (screenshot) {
    if (o.screenshotDir.empty()) return usageError("--screenshot needs a folder");
    o.mode = ServerOptions::Mode::Screenshot;
  }
  return o;
}

}  // namespace quorvane
