// Desktop: what the agent shows to the person at the machine.
//
// Message boxes (with the Visual Basic style numbers: buttons + icon), the
// notification-area icon with its popup menu, and the modeless password
// dialog. The agent owns the logic of its dialogs (frmInputBox, the quit
// flow); a Desktop only shows things and reports what the person did.
//
// Implementations: DesktopHeadless (no notification area; message boxes go
// to a text stream), DesktopScripted (tests and simulations: scripted
// answers, a record of everything shown). Every call comes from the agent's
// event-loop thread; callbacks given to a Desktop are called on that thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform {

// Message-box styles.
inline constexpr int kMbOkOnly = 0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbCritical = 16;
inline constexpr int kMbExclamation = 48;
inline constexpr int kMbInformation = 64;
// Buttons a message box returns.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
// Mouse messages that the notification-area icon reports.
inline constexpr int kTrayLeftButtonDown = 513;
inline constexpr int kTrayRightButtonDown = 516;

// What the person does with the modeless password dialog.
struct InputBoxEvents {
  std::function<void(const std::string& text)> onOk;
  std::function<void()> onCancel;
  // A close that the program did not request (close box, task list, system
  // shutdown). Returns true to cancel the close.
  std::function<bool()> onQueryUnload;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Shows a message box and returns the button pressed.
  virtual int messageBox(std::string_view text, int style, std::string_view title) = 0;

  // Adds the notification-area icon with tool tip `tip`; `onNotify` gets the
  // mouse message numbers. Returns false when this desktop has no
  // notification area (the agent then goes on without an icon).
  virtual bool addTrayIcon(std::string_view tip, std::function<void(int message)> onNotify) = 0;
  // Removes the icon; harmless when none was added.
  virtual void removeTrayIcon() = 0;

  virtual void bringToForeground() = 0;
  // Shows a popup menu; returns the index of the chosen item or -1.
  virtual int popupMenu(const std::vector<std::string>& items) = 0;

  // Shows the password dialog centred on the screen and returns at once.
  virtual void showInputBox(std::string_view prompt, InputBoxEvents events) = 0;
  // Closes it (the program's own request).
  virtual void closeInputBox() = 0;
};

}  // namespace quorvane::platform
