// ReportHost: how a report object meets the program that created it.
//
// Every object of Dovrel keeps one. It says whether windows may be shown
// (the progress window, message boxes, opening the finished report) and
// where message-box texts go: to the host's own callback when it gave one,
// otherwise to a message box inside a graphical application, otherwise to
// standard error. It also remembers whether an error report was shown since
// the last reset, so that doReport can tell the caller that a run failed.
// Not thread-safe: one object, one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "reportlib/QuorvaneReport.h"

namespace dovrel {

class ReportHost {
 public:
  using Sink = std::function<void(std::int32_t icon, const std::string& text)>;

  // Decides by itself: interactive inside a graphical application with a display.
  ReportHost();
  // From the host's description; NULL behaves as the default constructor.
  explicit ReportHost(const QvHost* host);
  // For tests and embedding: the given flags and message sink.
  ReportHost(std::uint32_t flags, Sink sink);

  bool interactive() const { return (flags_ & QV_HOST_INTERACTIVE) != 0; }
  bool quiet() const { return (flags_ & QV_HOST_QUIET) != 0; }

  // Shows a message-box text with the icon (QV_ICON_*).
  void showMessage(std::int32_t icon, const std::string& text);
  // Shows the standard failure report for `where` and marks the run failed.
  void reportError(std::string_view where, long number, std::string_view description, long line);

  bool failed() const { return failed_; }
  void resetFailed() { failed_ = false; }

 private:
  std::uint32_t flags_ = 0;
  Sink sink_;
  bool failed_ = false;
};

// True when this process runs a graphical Qt application on a real display
// (not the offscreen or minimal platform, and DISPLAY or WAYLAND_DISPLAY set).
bool hasDisplay();

// Lets pending window messages run once (nothing without a Qt application).
void doEvents();

}  // namespace dovrel
