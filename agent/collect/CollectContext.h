// CollectContext: what every collector of one audit is given.
//
// - `platform`: the machine being audited (native or a fixture); the
//   collectors see only its neutral service headers.
// - `serverIP`: the agent's ServerIP setting, used to pick the local address
//   by which the server sees this agent (empty when none is set).
// - `report`: receives each error report of the agent's convention (the full
//   text and its parts). The agent wires it to its message box; tests
//   record it. Without one, reports are dropped.
// - `now`: the clock of the audit date (the system clock when empty).
//
// runCollector runs a collector's body as a procedure with its own error
// handler: an error escaping the body (RaisedError, or any other exception)
// is reported as "QuorvanePro.<module>.<procedure>" and the collector goes on
// to return what it has filled so far. A RaisedError keeps its number; any
// other exception is numbered as `other` says.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "common/ErrorReport.h"
#include "platform/Platform.h"

namespace quorvane::agent {

struct CollectReport {
  std::string where;  // "QuorvanePro.modSWindows.getWindows"
  long number = 0;
  std::string description;
  long line = 0;
  std::string text;  // the message text of the convention
};

using CollectReportFn = std::function<void(const CollectReport&)>;

struct CollectContext {
  platform::Platform& platform;
  std::string serverIP;
  CollectReportFn report;
  std::function<std::chrono::system_clock::time_point()> now;
};

// Builds and delivers one report.
void reportError(const CollectContext& ctx, std::string_view module, std::string_view procedure,
                 long number, std::string_view description, long line);

// How an exception other than RaisedError is reported.
enum class OtherFailures {
  // The software collectors and the audit assembly: std::bad_alloc as 7
  // "Out of memory", any other as 51 "Internal error: <what>".
  kInternal,
  // The hardware collectors: any exception as 5 with its own text.
  kInvalidCall,
};

// Runs `body` under the handler of procedure `procedure` of `module`.
void runCollector(const CollectContext& ctx, std::string_view module, std::string_view procedure,
                  const std::function<void()>& body, OtherFailures other = OtherFailures::kInternal);

// Raises the error of a failed platform call at the caller's line.
[[noreturn]] void raiseStatus(const Status& status,
                              std::source_location at = std::source_location::current());

}  // namespace quorvane::agent
