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

DesktopHeadless::DesktopHeadless(std::ostream& out, TextConversion toStream)
    : out_(out), toStream_(std::move(toStream)) {}

void DesktopHeadless::write(std::string_view text) {
  if (toStream_) out_ << toStream_(text);
  else out_ << text;
  out_ << std::flush;
}

int DesktopHeadless::messageBox(std::string_view text, int style, std::string_view title) {
  write(formatMessageBlock(text, style, title));
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
    write(std::string(tip) + ": this desktop has no notification area; the tray icon is not shown.\n");
  }
  return false;
}

void DesktopHeadless::showInputBox(std::string_view prompt, InputBoxEvents) {
  write("== input box ==\n" + std::string(prompt) + "\n(no one can answer on this desktop)\n==\n");
}

}  // namespace quorvane::platform
