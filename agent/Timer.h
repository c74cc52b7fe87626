// Timer: the agent's form timers (tmrAuditDelay, tmrTimeout) on the event loop.
//
// While enabled with an interval above 0 it calls its handler every interval
// milliseconds, on the loop thread. Enabling it (again) or changing the
// interval restarts the count, so a timer enabled at a moment always fires
// one interval after that moment. An interval of 0 never fires. An interval
// longer than a century waits a century (the clock cannot count further).
// The handler may disable the timer, change it, or destroy it.
#pragma once

#include <asio.hpp>
#include <cstdint>
#include <functional>
#include <memory>

namespace quorvane::agent {

class Timer {
 public:
  Timer(asio::io_context& io, std::function<void()> onTimer);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const { return enabled_; }
  void Enabled(bool enabled);
  std::int64_t Interval() const { return intervalMs_; }
  void Interval(std::int64_t milliseconds);

 private:
  void restart();

  asio::steady_timer timer_;
  std::function<void()> onTimer_;
  bool enabled_ = false;
  std::int64_t intervalMs_ = 0;
  unsigned generation_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace quorvane::agent
