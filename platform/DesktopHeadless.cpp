#include "platform/DesktopHeadless.h"

#include <ostream>

namespace quorvane::platform {

std::string formatMessageBlock(std::string_view text, int style, std::string_view title) {
  std::string s = "== ";
  s.append(title).append(" (style ").append(std::to_string(style)).append(") ==\n");
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      s.push_back('\n');
      ++i;
    } else {
      s.push_back(text[i]);
    }
  }
  s.append("\n==\n");
  return s;
}

DesktopHeadless::DesktopHeadless(std::ostream& out) : out_(out) {}

int DesktopHeadless::messageBox(std::string_view text, int style, std::string_view title) {
  out_ << formatMessageBlock(text, style, title) << std::flush;
  switch (style & 7) {
    case kMbOkCancel: return kAnswerCancel;
    case 3:  // Yes, No, Cancel
    case kMbYesNo: return kAnswerNo;
    case 2:  // Abort, Retry, Ignore: ignore
      return 5;
    case 5:  // Retry, Cancel
      return kAnswerCancel;
    default: return kAnswerOk;
  }
}

bool DesktopHeadless::addTrayIcon(std::string_view tip, std::function<void(int)>) {
  if (!trayReported_) {
    trayReported_ = true;
    out_ << tip << ": this desktop has no notification area; the tray icon is not shown.\n"
         << std::flush;
  }
  return false;
}

void DesktopHeadless::showInputBox(std::string_view prompt, InputBoxEvents) {
  out_ << "== input box ==\n" << prompt << "\n(no one can answer on this desktop)\n==\n"
       << std::flush;
}

}  // namespace quorvane::platform
