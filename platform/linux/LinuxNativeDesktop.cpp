// The Linux agent has no notification area of its own: message boxes go to
// the log stream (DesktopHeadless), in the locale's encoding so that a
// terminal or the journal shows the record's accented letters as letters.
#include "platform/DesktopHeadless.h"
#include "platform/NativeDesktop.h"
#include "platform/linux/LinuxLocaleText.h"

namespace quorvane::platform {

std::unique_ptr<Desktop> makeNativeDesktop(asio::io_context&, std::ostream& log) {
  return std::make_unique<DesktopHeadless>(
      log, [charset = linux_backend::environmentCharset()](std::string_view text) {
        return linux_backend::windows1252ToCharset(text, charset);
      });
}

}  // namespace quorvane::platform
