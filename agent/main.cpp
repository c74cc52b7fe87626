// QuorvanePro: the audit agent program. One Agent on one event loop; the
// agent's end becomes the process's exit status.
#include <asio.hpp>
#include <iostream>

#include "agent/Agent.h"
#include "agent/AgentMachine.h"
#include "agent/CommandLine.h"
#include "agent/HostResolver.h"
#include "platform/NativeDesktop.h"
#include "platform/Power.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationSignals.h"
#include "platform/UserMessage.h"

int main(int argc, char** argv) {
  using namespace quorvane;
  std::vector<std::string> args(argv + 1, argv + argc);
  auto cl = agent::parseCommandLine(args);
  if (!cl) {
    std::cerr << "QuorvanePro: " << cl.status().description() << "\n" << agent::kUsage << "\n";
    return 2;
  }

  auto audit = agent::makeMachineAudit(cl->machine);
  if (!audit) {
    std::cerr << "QuorvanePro: " << audit.status().description() << "\n";
    return 1;
  }

  asio::io_context io;
  auto work = asio::make_work_guard(io);
  agent::SystemHostResolver resolver(io);

  agent::AgentConfig config;
  config.programFolder = cl->dir ? *cl->dir : platform::executableFolder();
  if (cl->settings) config.settingsFile = *cl->settings;
  config.getInfo = std::move(*audit);
  config.desktop = platform::makeNativeDesktop(io, std::cerr);
  // A described machine (--machine) is no PC with people at it.
  if (!cl->machine) config.userMessenger = platform::makeNativeUserMessenger(io);
  config.power = cl->powerDryRun ? platform::makeDryRunPowerControl(std::cout)
                                 : platform::makeSystemPowerControl();
  int exitStatus = 0;
  bool ended = false;
  config.onEnd = [&](int status) {
    exitStatus = status;
    ended = true;
    io.stop();
  };
  agent::Agent a(io, resolver, std::move(config));
  auto signals = platform::watchTerminationSignals(io, [&](int) { a.Form_Unload(); });
  a.Form_Load();
  if (!ended) io.run();
  return exitStatus;
}
