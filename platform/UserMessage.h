// UserMessage: tells the people at this PC a text from the administrator,
// where they will see it, beyond the agent's own message box.
//
// `tell` starts the delivery and returns at once: delivery never holds up
// the agent's event loop, and every part of it ends within a bounded time
// however the receiving side behaves (a session bus that never answers, a
// terminal that takes no output). `done` is called once on the loop's thread
// when every part has ended, with what went wrong, one line per problem
// (empty when everything was delivered or nobody could be reached: a PC
// without graphical sessions or terminals is no fault).
//
// The text is the record's 8-bit text (Windows-1252); each implementation
// turns it into what its receivers read.
//
// makeNativeUserMessenger: linux/ delivers a desktop notification to every
// graphical session and a broadcast to the terminals of logged-in users;
// windows/ has none (the message box is what the person sees there), so it
// returns nullptr.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace asio {
class io_context;
}

namespace quorvane::platform {

class UserMessenger {
 public:
  using Done = std::function<void(std::vector<std::string> problems)>;
  virtual ~UserMessenger() = default;
  virtual void tell(std::string_view text, Done done) = 0;
};

std::unique_ptr<UserMessenger> makeNativeUserMessenger(asio::io_context& io);

}  // namespace quorvane::platform
