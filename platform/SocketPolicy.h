// SocketPolicy: the few socket choices that differ between systems.
//
// `reuseAddressWhenListening`: whether a listening socket sets the
// reuse-address option before it binds. The agent listens again on the same
// port right after each command connection; on Linux a connection of that
// port still in TIME_WAIT would make the new bind fail unless the option is
// set (Linux's option never lets two sockets listen on one port). Windows
// rebinds without it, and there the option would let another program take
// the port, so it stays off.
#pragma once

namespace quorvane::platform {

bool reuseAddressWhenListening();

}  // namespace quorvane::platform
