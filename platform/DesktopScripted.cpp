#include "platform/DesktopScripted.h"

namespace quorvane::platform {

int DesktopScripted::messageBox(std::string_view text, int style, std::string_view title) {
  shown.push_back({std::string(text), style, std::string(title)});
  const int buttons = style & 7;
  if (buttons == kMbOkOnly) return kAnswerOk;
  if (!answers.empty()) {
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  return buttons == kMbOkCancel || buttons == 5 ? kAnswerCancel : kAnswerNo;
}

bool DesktopScripted::addTrayIcon(std::string_view tip, std::function<void(int)> onNotify) {
  trayTip = std::string(tip);
  trayShown = true;
  ++trayAdds;
  onNotify_ = std::move(onNotify);
  return true;
}

void DesktopScripted::removeTrayIcon() {
  trayShown = false;
  onNotify_ = nullptr;
}

int DesktopScripted::popupMenu(const std::vector<std::string>& items) {
  menus.push_back(items);
  if (menuChoice && *menuChoice >= 0 && *menuChoice < static_cast<int>(items.size())) {
    return *menuChoice;
  }
  return -1;
}

void DesktopScripted::showInputBox(std::string_view prompt, InputBoxEvents events) {
  inputBoxOpen = true;
  inputBoxPrompt = std::string(prompt);
  inputEvents_ = std::move(events);
}

void DesktopScripted::closeInputBox() {
  inputBoxOpen = false;
}

bool DesktopScripted::clickTray(int message) {
  if (!trayShown || !onNotify_) return false;
  auto notify = onNotify_;  // the handler may remove the icon
  notify(message);
  return true;
}

bool DesktopScripted::pressOk(const std::string& text) {
  if (!inputBoxOpen) return false;
  auto onOk = inputEvents_.onOk;
  if (onOk) onOk(text);
  return true;
}

bool DesktopScripted::pressCancel() {
  if (!inputBoxOpen) return false;
  auto onCancel = inputEvents_.onCancel;
  if (onCancel) onCancel();
  return true;
}

bool DesktopScripted::pressCloseBox() {
  if (!inputBoxOpen) return false;
  const bool cancel = inputEvents_.onQueryUnload ? inputEvents_.onQueryUnload() : false;
  if (!cancel) inputBoxOpen = false;
  return !cancel;
}

}  // namespace quorvane::platform
