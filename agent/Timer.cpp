#include "agent/Timer.h"

#include <algorithm>

namespace quorvane::agent {

namespace {
// The steady clock counts nanoseconds in 64 bits (about 292 years); a longer
// wait would wrap round to one in the past and fire at once.
constexpr std::int64_t kLongestWaitMs = 100LL * 365 * 24 * 3600 * 1000;
}  // namespace

Timer::Timer(asio::io_context& io, std::function<void()> onTimer)
    : timer_(io), onTimer_(std::move(onTimer)) {}

Timer::~Timer() {
  alive_.reset();
  timer_.cancel();
}

void Timer::Enabled(bool enabled) {
  enabled_ = enabled;
  restart();
}

void Timer::Interval(std::int64_t milliseconds) {
  intervalMs_ = milliseconds < 0 ? 0 : milliseconds;
  restart();
}

void Timer::restart() {
  ++generation_;
  timer_.cancel();
  if (!enabled_ || intervalMs_ <= 0) return;
  timer_.expires_after(std::chrono::milliseconds(std::min(intervalMs_, kLongestWaitMs)));
  timer_.async_wait([this, w = std::weak_ptr<int>(alive_), gen = generation_](
                        const asio::error_code& ec) {
    if (ec || w.expired() || gen != generation_) return;
    auto handler = onTimer_;
    handler();
    if (w.expired() || gen != generation_) return;  // changed or gone meanwhile
    restart();
  });
}

}  // namespace quorvane::agent
