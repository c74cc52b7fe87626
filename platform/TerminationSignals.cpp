// The system's requests to end the program (SIGTERM, SIGINT; on Windows also
// Ctrl+C / Ctrl+Break, which the C runtime raises as SIGINT), through Asio's
// signal set, which hands them to the event loop. The same on every platform.
#include <asio.hpp>
#include <csignal>

#include "platform/TerminationSignals.h"

namespace quorvane::platform {
namespace {

class AsioTerminationSignals final : public TerminationSignals {
 public:
  AsioTerminationSignals(asio::io_context& io, std::function<void(int)> onSignal)
      : set_(io, SIGTERM, SIGINT), onSignal_(std::move(onSignal)) {
    arm();
  }
  ~AsioTerminationSignals() override {
    *alive_ = false;
    asio::error_code ignored;
    set_.cancel(ignored);
  }

 private:
  void arm() {
    set_.async_wait([this, alive = alive_](const asio::error_code& ec, int signo) {
      if (!*alive || ec) return;
      onSignal_(signo);
      if (*alive) arm();
    });
  }

  asio::signal_set set_;
  std::function<void(int)> onSignal_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<TerminationSignals> watchTerminationSignals(asio::io_context& io,
                                                            std::function<void(int)> onSignal) {
  return std::make_unique<AsioTerminationSignals>(io, std::move(onSignal));
}

}  // namespace quorvane::platform
