// DesktopScripted: a desktop for tests and simulations.
//
// It records every message box, answers questions from a script (a queue of
// buttons; when the queue is empty a question is answered No / Cancel) and
// lets the test act as the person: click the tray icon, pick from its menu,
// type into the password dialog and press its buttons or its close box.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace quorvane::platform {

struct ShownMessage {
  std::string text;
  int style = 0;
  std::string title;
  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

class DesktopScripted final : public Desktop {
 public:
  DesktopScripted() = default;

  // --- script -----------------------------------------------------------
  std::deque<int> answers;             // buttons for message boxes with a choice
  std::optional<int> menuChoice;       // item picked from the next popup menus

  // --- record -----------------------------------------------------------
  std::vector<ShownMessage> shown;
  std::string trayTip;
  bool trayShown = false;
  int trayAdds = 0;
  int foregroundCalls = 0;
  std::vector<std::vector<std::string>> menus;
  bool inputBoxOpen = false;
  std::string inputBoxPrompt;

  // --- acting as the person ----------------------------------------------
  // Sends a mouse message from the tray icon; false when no icon is shown.
  bool clickTray(int message);
  // Types `text` into the open password dialog and presses OK.
  bool pressOk(const std::string& text);
  bool pressCancel();
  // Presses the dialog's close box. Returns true when the dialog closed.
  bool pressCloseBox();

  // --- Desktop ---------------------------------------------------------
  int messageBox(std::string_view text, int style, std::string_view title) override;
  bool addTrayIcon(std::string_view tip, std::function<void(int)> onNotify) override;
  void removeTrayIcon() override;
  void bringToForeground() override { ++foregroundCalls; }
  int popupMenu(const std::vector<std::string>& items) override;
  void showInputBox(std::string_view prompt, InputBoxEvents events) override;
  void closeInputBox() override;

 private:
  std::function<void(int)> onNotify_;
  InputBoxEvents inputEvents_;
};

}  // namespace quorvane::platform
