// TerminationSignals: the system's requests to end the program (SIGTERM and
// SIGINT on Linux), delivered as a call on the program's event loop thread.
//
// One per process (the program owns it, not an agent). The handler runs from
// the io_context the object was created with, never from a signal context.
#pragma once

#include <functional>
#include <memory>

namespace asio {
class io_context;
}

namespace quorvane::platform {

class TerminationSignals {
 public:
  virtual ~TerminationSignals() = default;
};

// Starts watching; `onSignal` gets the signal number each time one arrives.
std::unique_ptr<TerminationSignals> watchTerminationSignals(asio::io_context& io,
                                                            std::function<void(int)> onSignal);

}  // namespace quorvane::platform
