#include "platform/SocketPolicy.h"

namespace quorvane::platform {

bool reuseAddressWhenListening() { return true; }

}  // namespace quorvane::platform
