// DesktopHeadless: the desktop of a machine without a notification area (the
// Linux default). Every message box is written to a text stream (standard
// error by default) as a block:
//   == <title> (style <n>) ==
//   <text, each CR LF shown as a line break>
//   ==
// and answered with its safe button (No, Cancel, or OK when that is the only
// one). A tray icon is reported once, on the first attempt, and not shown.
// The texts are the record's 8-bit texts; `toStream` turns each written
// block into the stream's encoding (the Linux desktop: the locale's).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "platform/Desktop.h"

namespace quorvane::platform {

class DesktopHeadless final : public Desktop {
 public:
  using TextConversion = std::function<std::string(std::string_view)>;
  explicit DesktopHeadless(std::ostream& out, TextConversion toStream = {});

  int messageBox(std::string_view text, int style, std::string_view title) override;
  bool addTrayIcon(std::string_view tip, std::function<void(int)> onNotify) override;
  void removeTrayIcon() override {}
  void bringToForeground() override {}
  int popupMenu(const std::vector<std::string>&) override { return -1; }
  void showInputBox(std::string_view prompt, InputBoxEvents events) override;
  void closeInputBox() override {}

 private:
  void write(std::string_view text);

  std::ostream& out_;
  TextConversion toStream_;
  bool trayReported_ = false;
};

// The block text of one message box (without writing it anywhere).
std::string formatMessageBlock(std::string_view text, int style, std::string_view title);

}  // namespace quorvane::platform
