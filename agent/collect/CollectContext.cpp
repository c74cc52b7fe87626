#include "agent/collect/CollectContext.h"

#include <charconv>
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
                  const std::function<void()>& body) {
  try {
    body();
  } catch (const RaisedError& e) {
    reportError(ctx, module, procedure, e.number(), e.description(), e.line());
  } catch (const std::bad_alloc&) {
    reportError(ctx, module, procedure, 7, "Out of memory", 0);
  } catch (const std::exception& e) {
    reportError(ctx, module, procedure, 51, std::string("Internal error: ") + e.what(), 0);
  }
}

namespace {
std::string_view valueAfter(std::string_view text, std::string_view label) {
  auto at = text.find(label);
  if (at == std::string_view::npos) return {};
  auto v = text.substr(at + label.size());
  auto end = v.find("\r\n");
  return v.substr(0, end);
}
long numberOf(std::string_view s) {
  long n = 0;
  std::from_chars(s.data(), s.data() + s.size(), n);
  return n;
}
}  // namespace

CollectReport parseReportText(std::string_view text) {
  CollectReport r;
  r.text = std::string(text);
  r.where = std::string(valueAfter(text, "Error in : "));
  r.number = numberOf(valueAfter(text, "Error Number : "));
  r.description = std::string(valueAfter(text, "Error Description : "));
  r.line = numberOf(valueAfter(text, "On line : "));
  return r;
}

void raiseStatus(const Status& status, std::source_location at) { throw RaisedError(status, at); }

}  // namespace quorvane::agent
