#include "platform/SocketPolicy.h"

namespace quorvane::platform {

// Windows rebinds a listening port without the option; with it another
// program could take the port.
bool reuseAddressWhenListening() { return false; }

}  // namespace quorvane::platform
