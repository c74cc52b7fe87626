// makeNativeDesktop: the desktop of the machine the agent runs on, chosen by
// the platform folder (linux/: DesktopHeadless on `log`; windows/: the
// Win32 desktop with the notification-area icon, message boxes and the
// password dialog, which also copies every message box to `log`).
//
// `io` is the agent's event loop: what the person does comes back as calls
// on that loop's thread, and while a message box or a popup menu waits for
// the person the desktop lets the loop's pending events run, so sockets and
// timers go on. `log` must outlive the desktop.
#pragma once

#include <iosfwd>
#include <memory>

#include "platform/Desktop.h"

namespace asio {
class io_context;
}

namespace quorvane::platform {

std::unique_ptr<Desktop> makeNativeDesktop(asio::io_context& io, std::ostream& log);

}  // namespace quorvane::platform
