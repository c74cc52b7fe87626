// Windows: the agent's message box is what the person at the PC sees; there
// is nothing to tell beyond it.
#include "platform/UserMessage.h"

namespace quorvane::platform {

std::unique_ptr<UserMessenger> makeNativeUserMessenger(asio::io_context&) { return nullptr; }

}  // namespace quorvane::platform
