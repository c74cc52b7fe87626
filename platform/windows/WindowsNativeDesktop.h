// DesktopWin32: the agent's desktop on Windows.
//
// A user-interface thread of its own owns a hidden window: the
// notification-area icon (Shell_NotifyIconA with the first, version-1 layout
// of NOTIFYICONDATAA: 88 bytes on 32-bit Windows, 104 on 64-bit; callback
// message 512, identifier 1, flags message + icon + tip), its popup menu
// (SetForegroundWindow, TrackPopupMenu) and the modeless password dialog.
// Message boxes (MessageBoxA with the caller's style) run on a thread each.
//
// Every call comes from the agent's event-loop thread. A call that waits for
// the person (message box, popup menu) lets the loop's pending events run
// meanwhile, as the agent expects of a modal wait; what the person does with
// the icon and the dialog comes back as calls posted to that loop. Each
// message box is also written to `log` (the block of DesktopHeadless), so an
// unattended run leaves a trace. Where the system has no interactive desktop
// (the hidden window cannot be made, MessageBoxA fails) the calls answer as
// DesktopHeadless does.
#pragma once

#include <iosfwd>
#include <memory>

#include "platform/Desktop.h"

namespace asio {
class io_context;
}

namespace quorvane::platform::windows_backend {

// Size of the notification-icon record the desktop passes (the version-1
// layout of NOTIFYICONDATAA on this build's word size).
std::size_t notifyIconRecordSize();

class DesktopWin32 final : public Desktop {
 public:
  DesktopWin32(asio::io_context& io, std::ostream& log);
  ~DesktopWin32() override;
  DesktopWin32(const DesktopWin32&) = delete;
  DesktopWin32& operator=(const DesktopWin32&) = delete;

  int messageBox(std::string_view text, int style, std::string_view title) override;
  bool addTrayIcon(std::string_view tip, std::function<void(int)> onNotify) override;
  void removeTrayIcon() override;
  void bringToForeground() override;
  int popupMenu(const std::vector<std::string>& items) override;
  void showInputBox(std::string_view prompt, InputBoxEvents events) override;
  void closeInputBox() override;

  // The user-interface thread made its hidden window (false without an
  // interactive desktop).
  bool hasWindow() const;

  struct Ui;

 private:
  std::shared_ptr<Ui> ui_;
};

}  // namespace quorvane::platform::windows_backend
