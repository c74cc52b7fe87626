#include "reportlib/modProgress.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "common/Text8.h"
#include "reportlib/frmProgress.h"

namespace dovrel {

double roundTo(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::nearbyint(value * scale) / scale;
}

std::string formatNumber(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", value);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void show(const modProgress& p) = 0;
  virtual void close() = 0;
};

namespace {

QString toQt(const std::string& s) {
  return QString::fromStdString(quorvane::windows1252ToUtf8(s));
}

class WindowView final : public ProgressView {
 public:
  void show(const modProgress& p) override {
    const bool first = !window_.isVisible();
    window_.setTexts(toQt(p.title()), toQt(p.status()), toQt(p.percentText()));
    window_.setBar(p.barWidth());
    if (first) {
      window_.centreOnScreen();
      window_.show();
    }
  }
  void close() override { window_.hide(); }

 private:
  frmProgress window_;
};

class StderrView final : public ProgressView {
 public:
  void show(const modProgress& p) override {
    constexpr int kCells = 30;
    const int filled =
        static_cast<int>(std::lround(p.barWidth() / kProgressBarUnits * kCells));
    std::string bar(static_cast<std::size_t>(std::clamp(filled, 0, kCells)), '#');
    bar.resize(kCells, '.');
    std::string line = quorvane::windows1252ToUtf8(p.title() + ": " + p.status());
    std::fprintf(stderr, "\r%-60.60s [%s] %-10s", line.c_str(), bar.c_str(),
                 quorvane::windows1252ToUtf8(p.percentText()).c_str());
    std::fflush(stderr);
    open_ = true;
  }
  void close() override {
    if (open_) std::fputc('\n', stderr);
    open_ = false;
  }

 private:
  bool open_ = false;
};

}  // namespace

modProgress::modProgress(ReportHost& host) : host_(host) {}

modProgress::~modProgress() { unload(); }

void modProgress::makeProgressWindow(const std::string& title, const std::string& status,
                                     const std::string& percent) {
  title_ = title;
  status_ = status;
  percent_ = percent;
  if (!view_) {
    if (host_.interactive()) {
      view_ = std::make_unique<WindowView>();
    } else if (!host_.quiet()) {
      view_ = std::make_unique<StderrView>();
    }
  }
  shown_ = true;
  refresh();
}

void modProgress::setProgress(float fraction) {
  const float bar = fraction * static_cast<float>(kProgressBarUnits);
  const float percent = fraction * 100.0f;
  bar_ = roundTo(bar, 3);
  percent_ = formatNumber(roundTo(percent, 3)) + " %";
  refresh();
  doEvents();
}

void modProgress::setStatus(const std::string& text) {
  status_ = text;
  refresh();
  doEvents();
  if (shown_ && host_.interactive()) {
    // Long enough for the eye to catch the new activity.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    doEvents();
  }
}

void modProgress::unload() {
  if (view_) view_->close();
  view_.reset();
  shown_ = false;
}

void modProgress::refresh() {
  if (shown_ && view_) view_->show(*this);
}

}  // namespace dovrel
