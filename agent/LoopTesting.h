// Helpers for tests that drive an io_context: run it until a condition holds
// (with a generous deadline, never a fixed sleep), or until nothing is ready.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <functional>

namespace quorvane::agent::testing {

// Runs handlers until `done()` holds or `deadline` passes; returns done().
inline bool runUntil(asio::io_context& io, const std::function<bool()>& done,
                     std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    if (io.stopped()) io.restart();
    io.run_one_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Runs whatever is ready now (and what that makes ready), then returns.
inline void drain(asio::io_context& io) {
  for (int i = 0; i < 50; ++i) {
    if (io.stopped()) io.restart();
    if (io.poll() == 0) return;
  }
}

}  // namespace quorvane::agent::testing
