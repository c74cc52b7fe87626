#include "agent/collect/CollectContext.h"
#include "agent/collect/AgentErrors.h"

#include <new>

namespace quorvane::agent {

void reportError(const CollectContext& ctx, std::string_view module, std::string_view procedure,
                 long number, std::string_view description, long line) {
  if (!ctx.report) return;
  CollectReport r;
  r.where = errorLocation(kProjectAgent, module, procedure);
  r.number = number;
  r.description = std::string(description);
  r.line = line;
  r.text = formatErrorReport(r.where, number, description, line);
  ctx.report(r);
}

void runCollector(const CollectContext& ctx, std::string_view module, std::string_view procedure,
                  const std::function<void()>& body, OtherFailures other) {
  try {
    body();
  } catch (const RaisedError& e) {
    reportError(ctx, module, procedure, e.number(), e.description(), e.line());
  } catch (const std::exception& e) {
    if (other == OtherFailures::kInvalidCall) {
      reportError(ctx, module, procedure, kErrInvalidCall, e.what(), 0);
    } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
      reportError(ctx, module, procedure, kErrOutOfMemory, "Out of memory", 0);
    } else {
      reportError(ctx, module, procedure, kErrInternal, std::string("Internal error: ") + e.what(), 0);
    }
  }
}

void raiseStatus(const Status& status, std::source_location at) { throw RaisedError(status, at); }

}  // namespace quorvane::agent
