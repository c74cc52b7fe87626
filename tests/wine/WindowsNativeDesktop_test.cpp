// The agent's Win32 desktop under Wine, without a display: the password
// dialog driven through its real window (text typed, OK, a close from
// outside), the notification-icon callback, and the message-box trace.
#include <gtest/gtest.h>

#include <asio.hpp>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>

#include "platform/windows/WindowsNativeDesktop.h"

#include <windows.h>

namespace quorvane {
namespace {

using platform::windows_backend::DesktopWin32;

// Runs the loop until `done` holds or the (generous) deadline passes.
bool runUntil(asio::io_context& io, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    io.restart();
    io.run_for(std::chrono::milliseconds(10));
  }
  return true;
}

HWND findWindow(const char* cls) { return FindWindowA(cls, nullptr); }

class Win32DesktopTest : public ::testing::Test {
 protected:
  asio::io_context io;
  std::ostringstream log;
};

TEST_F(Win32DesktopTest, NotifyIconRecordIsTheFirstLayout) {
  EXPECT_EQ(platform::windows_backend::notifyIconRecordSize(), sizeof(void*) == 8 ? 104u : 88u);
}

TEST_F(Win32DesktopTest, PasswordDialogReportsOkAndRefusesOutsideCloses) {
  DesktopWin32 desktop(io, log);
  ASSERT_TRUE(desktop.hasWindow());
  std::string entered;
  bool entered_ok = false, cancelled = false;
  int closeRequests = 0;
  platform::InputBoxEvents events;
  events.onOk = [&](const std::string& text) {
    entered = text;
    entered_ok = true;
  };
  events.onCancel = [&] { cancelled = true; };
  events.onQueryUnload = [&] {
    ++closeRequests;
    return true;  // cancel every close the program did not ask for
  };
  desktop.showInputBox("Please enter your password below ...", events);
  HWND box = nullptr;
  ASSERT_TRUE(runUntil(io, [&] {
    box = findWindow("QuorvaneProInputBox");
    return box != nullptr && IsWindowVisible(box);  // shown once complete
  }));
  char prompt[128] = {};
  GetDlgItemTextA(box, 100, prompt, sizeof prompt);
  EXPECT_STREQ(prompt, "Please enter your password below ...");
  HWND edit = GetDlgItem(box, 101);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD);

  SetWindowTextA(edit, "s3cret pass");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(runUntil(io, [&] { return entered_ok; }));
  EXPECT_EQ(entered, "s3cret pass");

  PostMessageA(box, WM_CLOSE, 0, 0);  // the close box, the task list, shutdown
  ASSERT_TRUE(runUntil(io, [&] { return closeRequests == 1; }));
  io.restart();
  io.run_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(IsWindow(box)) << "a close the program did not ask for is cancelled";

  PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(runUntil(io, [&] { return cancelled; }));
  desktop.closeInputBox();
  EXPECT_TRUE(runUntil(io, [&] { return !IsWindow(box); }));
}

TEST_F(Win32DesktopTest, IconNotificationsArriveOnTheLoop) {
  DesktopWin32 desktop(io, log);
  ASSERT_TRUE(desktop.hasWindow());
  std::vector<int> seen;
  desktop.addTrayIcon("Quorvane Pro", [&](int message) { seen.push_back(message); });
  HWND hidden = findWindow("QuorvaneProHidden");
  ASSERT_NE(hidden, nullptr);
  // What the shell sends for the icon: callback message 512, identifier 1,
  // the mouse message in lParam.
  PostMessageA(hidden, WM_MOUSEMOVE, 1, WM_RBUTTONDOWN);
  PostMessageA(hidden, WM_MOUSEMOVE, 1, WM_LBUTTONDOWN);
  PostMessageA(hidden, WM_MOUSEMOVE, 2, WM_RBUTTONDOWN);  // another icon: not ours
  ASSERT_TRUE(runUntil(io, [&] { return seen.size() >= 2; }));
  io.restart();
  io.run_for(std::chrono::milliseconds(50));
  EXPECT_EQ(seen, (std::vector<int>{516, 513}));
  desktop.removeTrayIcon();
  desktop.removeTrayIcon();  // harmless twice
}

// With a display a person answers (here: a timer of the agent's loop presses
// Yes, which also shows that the loop runs while the box waits); without
// one the box is answered with its safe button.
TEST_F(Win32DesktopTest, MessageBoxesAreTracedAndAnsweredWhileTheLoopRuns) {
  char display[64] = {};
  const bool hasDisplay = GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
  DesktopWin32 desktop(io, log);
  asio::steady_timer presser(io);
  int looks = 0;
  std::function<void()> pressYes = [&] {
    ++looks;
    HWND box = FindWindowA("#32770", "Quorvane Pro");
    if (box) {
      PostMessageA(box, WM_COMMAND, IDYES, 0);
      return;
    }
    presser.expires_after(std::chrono::milliseconds(50));
    presser.async_wait([&](const asio::error_code& ec) {
      if (!ec && looks < 400) pressYes();
    });
  };
  asio::post(io, pressYes);
  const int answer = desktop.messageBox("Are you sure you want to Quit", 20, "Quorvane Pro");
  presser.cancel();
  EXPECT_EQ(log.str(), "== Quorvane Pro (style 20) ==\nAre you sure you want to Quit\n==\n");
  if (hasDisplay) {
    EXPECT_EQ(answer, platform::kAnswerYes);
    EXPECT_GE(looks, 1) << "the loop ran while the box waited";
  } else {
    EXPECT_EQ(answer, platform::kAnswerNo) << "the safe button of Yes/No";
  }
}

}  // namespace
}  // namespace quorvane
