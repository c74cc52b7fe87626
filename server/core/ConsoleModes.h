// ConsoleModes: the server without a window, on a QCoreApplication that the
// caller has created.
//
// runHeadless: start-up, intake and command machinery, the index writer
// (unless the settings turn the index off), message boxes as blocks on
// standard error; runs until SIGTERM or SIGINT, then returns 0, also when
// the signal comes during start-up (loading DataStore ends at the next
// file). A start-up failure (the port in use, a bad settings file) returns 1.
// runSend: loads DataStore without listening, ticks the rows of the given
// addresses, presses the button of the caption and prints every status text
// as "<IP>: <status>" on `out`; returns 0 when every row ended "Request Sent"
// or "Client Running", 2 when any timed out, 3 when any was "Refused by
// client" and none timed out, 1 when an address has no row (nothing is sent
// then) or start-up failed.
// runNewCommandKey: creates the command key beside the server (never over an
// existing one) and prints the agents' "CommandPublicKey:..." line on `out`;
// 0, or 1 with the reason on standard error.
#pragma once

#include <cstdio>

#include "server/core/CommandLine.h"

namespace quorvane {

int runHeadless(const ServerOptions& options, const ServerFolders& folders);
int runSend(const ServerOptions& options, const ServerFolders& folders, std::FILE* out = stdout);
int runNewCommandKey(const std::string& programFolder, std::FILE* out = stdout);

// Quits the running event loop on SIGTERM or SIGINT (installed once);
// terminationRequested tells whether one came (also before the loop ran).
void quitEventLoopOnTermination();
bool terminationRequested();

}  // namespace quorvane
