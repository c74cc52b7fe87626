// The Linux agent has no notification area of its own: message boxes go to
// the log stream (DesktopHeadless).
#include "platform/DesktopHeadless.h"
#include "platform/NativeDesktop.h"

namespace quorvane::platform {

std::unique_ptr<Desktop> makeNativeDesktop(asio::io_context&, std::ostream& log) {
  return std::make_unique<DesktopHeadless>(log);
}

}  // namespace quorvane::platform
