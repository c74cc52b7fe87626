// modProgress: the progress of one report run.
//
// The state (title, status, percentage text, bar width in units of the
// 369-unit bar) is kept here and shown by one view: the window frmProgress
// when the host is interactive, a one-line bar on standard error otherwise,
// nothing when the host asked for quiet. Owned by one report object; the
// window lives from makeProgressWindow to unload.
#pragma once

#include <memory>
#include <string>

#include "reportlib/ReportHost.h"

namespace dovrel {

inline constexpr double kProgressBarUnits = 369.0;

// Rounds to `decimals` places, halves to even (the default number rounding).
double roundTo(double value, int decimals);
// A number in the default number format: no trailing zeros, no trailing ".".
std::string formatNumber(double value);

class ProgressView;

class modProgress {
 public:
  explicit modProgress(ReportHost& host);
  ~modProgress();
  modProgress(const modProgress&) = delete;
  modProgress& operator=(const modProgress&) = delete;

  void makeProgressWindow(const std::string& title, const std::string& status,
                          const std::string& percent);
  // fraction 0 to 1 (single precision): bar = fraction x 369, label = fraction x 100 " %".
  void setProgress(float fraction);
  void setStatus(const std::string& text);
  void unload();

  bool shown() const { return shown_; }
  const std::string& title() const { return title_; }
  const std::string& status() const { return status_; }
  const std::string& percentText() const { return percent_; }
  double barWidth() const { return bar_; }

 private:
  void refresh();

  ReportHost& host_;
  std::unique_ptr<ProgressView> view_;
  bool shown_ = false;
  std::string title_;
  std::string status_;
  std::string percent_;
  double bar_ = 0;
};

}  // namespace dovrel
