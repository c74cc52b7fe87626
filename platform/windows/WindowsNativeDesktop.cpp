// The Win32 desktop of the agent; see WindowsNativeDesktop.h.
#include "platform/windows/WindowsNativeDesktop.h"

#include "platform/DesktopHeadless.h"
#include "platform/NativeDesktop.h"

#include <asio.hpp>
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstddef>
#include <future>
#include <mutex>
#include <ostream>
#include <thread>

namespace quorvane::platform::windows_backend {

// The first layout of the record (szTip of 64 characters, nothing after it).
static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 8 ? 104 : 88),
              "the version-1 NOTIFYICONDATAA is 88 bytes on 32-bit and 104 on 64-bit Windows");

std::size_t notifyIconRecordSize() { return NOTIFYICONDATAA_V1_SIZE; }

namespace {

constexpr UINT kRunTask = WM_APP + 1;     // lParam: a heap std::function<void()>
constexpr UINT kTrayCallback = WM_MOUSEMOVE;  // 512: the icon's notifications
constexpr UINT kTrayId = 1;
constexpr int kPromptId = 100, kInputId = 101;
const char kMainClass[] = "QuorvaneProHidden";
const char kInputClass[] = "QuorvaneProInputBox";
const char kInputCaption[] = "Quorvane Pro";

// The safe answer of a message box nobody can see (as DesktopHeadless).
int safeAnswer(int style) {
  switch (style & 7) {
    case kMbOkCancel: return kAnswerCancel;
    case 3:
    case kMbYesNo: return kAnswerNo;
    case 2: return 5;
    case 5: return kAnswerCancel;
    default: return kAnswerOk;
  }
}

// Waits for `done` while the agent's loop runs its pending events.
template <class T>
T waitLettingEventsRun(asio::io_context& io, std::future<T>& done) {
  while (done.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready) {
    if (!io.stopped()) io.poll();
  }
  return done.get();
}

}  // namespace

struct DesktopWin32::Ui {
  asio::io_context& io;
  std::ostream& log;
  std::thread thread;
  HWND hidden = nullptr;
  UINT taskbarCreated = 0;

  // Touched only on the user-interface thread.
  bool iconShown = false;
  NOTIFYICONDATAA icon{};
  HWND inputBox = nullptr;
  HWND inputEdit = nullptr;
  InputBoxEvents inputEvents;
  // The alive flag of the agent side: callbacks posted to the loop after the
  // desktop is gone do nothing.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  std::function<void(int)> onNotify;  // set and read on the loop thread only

  Ui(asio::io_context& i, std::ostream& l) : io(i), log(l) {}

  // Runs `task` on the user-interface thread; false when it is not running.
  bool post(std::function<void()> task) {
    if (!hidden) return false;
    auto* heap = new std::function<void()>(std::move(task));
    if (!PostMessageA(hidden, kRunTask, 0, reinterpret_cast<LPARAM>(heap))) {
      delete heap;
      return false;
    }
    return true;
  }

  // Runs `task` on the loop thread, unless the desktop is gone by then.
  void toLoop(std::function<void()> task) {
    asio::post(io, [alive = alive, task = std::move(task)] {
      if (*alive) task();
    });
  }

  void run(std::promise<HWND>& made) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA main{};
    main.lpfnWndProc = &Ui::mainProc;
    main.hInstance = instance;
    main.lpszClassName = kMainClass;
    RegisterClassA(&main);
    WNDCLASSA input{};
    input.lpfnWndProc = &Ui::inputProc;
    input.hInstance = instance;
    input.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    input.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    input.lpszClassName = kInputClass;
    RegisterClassA(&input);
    taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    HWND h = CreateWindowExA(0, kMainClass, "Quorvane Pro", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                             nullptr, instance, this);
    made.set_value(h);
    if (!h) return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (inputBox && IsDialogMessageA(inputBox, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  static Ui* self(HWND h) { return reinterpret_cast<Ui*>(GetWindowLongPtrA(h, GWLP_USERDATA)); }

  static LRESULT CALLBACK mainProc(HWND h, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      auto* ui = static_cast<Ui*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
      SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ui));
    }
    Ui* ui = self(h);
    if (!ui) return DefWindowProcA(h, message, w, l);
    if (message == kRunTask) {
      std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(l));
      (*task)();
      return 0;
    }
    if (message == kTrayCallback && w == kTrayId) {
      const int mouse = static_cast<int>(LOWORD(l));
      ui->toLoop([ui, mouse] {
        if (ui->onNotify) ui->onNotify(mouse);
      });
      return 0;
    }
    if (ui->taskbarCreated != 0 && message == ui->taskbarCreated && ui->iconShown) {
      Shell_NotifyIconA(NIM_ADD, &ui->icon);  // the shell restarted: show the icon again
      return 0;
    }
    if (message == WM_DESTROY) {
      if (ui->iconShown) Shell_NotifyIconA(NIM_DELETE, &ui->icon);
      ui->iconShown = false;
      if (ui->inputBox) DestroyWindow(ui->inputBox);
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(h, message, w, l);
  }

  static LRESULT CALLBACK inputProc(HWND h, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      auto* ui = static_cast<Ui*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
      SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ui));
    }
    Ui* ui = self(h);
    if (!ui) return DefWindowProcA(h, message, w, l);
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(w) == IDOK) {
          char text[256] = {};
          GetWindowTextA(ui->inputEdit, text, sizeof text);
          std::string entered(text);
          auto onOk = ui->inputEvents.onOk;
          ui->toLoop([onOk, entered] {
            if (onOk) onOk(entered);
          });
          return 0;
        }
        if (LOWORD(w) == IDCANCEL) {
          auto onCancel = ui->inputEvents.onCancel;
          ui->toLoop([onCancel] {
            if (onCancel) onCancel();
          });
          return 0;
        }
        break;
      case WM_CLOSE: {
        // Closing from the close box, the task list or the system: the
        // agent decides (it cancels every close it did not ask for).
        auto onQueryUnload = ui->inputEvents.onQueryUnload;
        HWND box = h;
        ui->toLoop([ui, onQueryUnload, box] {
          const bool cancel = onQueryUnload ? onQueryUnload() : false;
          if (!cancel) {
            ui->post([ui, box] {
              if (ui->inputBox == box) {
                DestroyWindow(box);
                ui->inputBox = nullptr;
              }
            });
          }
        });
        return 0;
      }
      case WM_DESTROY:
        if (ui->inputBox == h) ui->inputBox = nullptr;
        return 0;
    }
    return DefWindowProcA(h, message, w, l);
  }

  void openInputBox(const std::string& prompt) {
    if (inputBox) DestroyWindow(inputBox);
    const int width = 380, height = 160;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND box = CreateWindowExA(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, kInputClass, kInputCaption,
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, width, height, nullptr,
                               nullptr, instance, this);
    if (!box) return;
    inputBox = box;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int hgt,
                     int id) {
      HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, hgt, box,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
      SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      return c;
    };
    child("STATIC", prompt.c_str(), SS_LEFT, 12, 12, width - 36, 20, kPromptId);
    inputEdit = child("EDIT", "", WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 12, 40,
                      width - 36, 22, kInputId);
    child("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, width - 204, 78, 84, 26, IDOK);
    child("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, width - 112, 78, 84, 26, IDCANCEL);
    // Centred on the screen.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(box, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
    ShowWindow(box, SW_SHOW);
    SetForegroundWindow(box);
    SetFocus(inputEdit);
  }
};

DesktopWin32::DesktopWin32(asio::io_context& io, std::ostream& log)
    : ui_(std::make_shared<Ui>(io, log)) {
  std::promise<HWND> made;
  auto ready = made.get_future();
  Ui* ui = ui_.get();
  ui_->thread = std::thread([ui, &made] { ui->run(made); });
  ui_->hidden = ready.get();
  if (!ui_->hidden) ui_->thread.join();
}

DesktopWin32::~DesktopWin32() {
  *ui_->alive = false;
  if (ui_->hidden) {
    PostMessageA(ui_->hidden, kRunTask, 0,
                 reinterpret_cast<LPARAM>(new std::function<void()>([h = ui_->hidden] {
                   DestroyWindow(h);
                 })));
    ui_->thread.join();
  }
}

bool DesktopWin32::hasWindow() const { return ui_->hidden != nullptr; }

int DesktopWin32::messageBox(std::string_view text, int style, std::string_view title) {
  ui_->log << formatMessageBlock(text, style, title) << std::flush;
  // A thread of its own, so that the loop's events go on meanwhile; the
  // thread outlives the desktop when the program ends before the answer.
  auto answer = std::make_shared<std::promise<int>>();
  auto done = answer->get_future();
  std::thread([answer, t = std::string(text), c = std::string(title), style] {
    answer->set_value(MessageBoxA(nullptr, t.c_str(), c.c_str(),
                                  static_cast<UINT>(style) | MB_SETFOREGROUND | MB_TOPMOST));
  }).detach();
  const int pressed = waitLettingEventsRun(ui_->io, done);
  return pressed > 0 ? pressed : safeAnswer(style);
}

bool DesktopWin32::addTrayIcon(std::string_view tip, std::function<void(int)> onNotify) {
  if (!ui_->hidden) return false;
  ui_->onNotify = std::move(onNotify);
  auto added = std::make_shared<std::promise<bool>>();
  auto done = added->get_future();
  Ui* ui = ui_.get();
  const std::string text(tip);
  if (!ui_->post([ui, added, text] {
        NOTIFYICONDATAA& n = ui->icon;
        n = NOTIFYICONDATAA{};
        n.cbSize = NOTIFYICONDATAA_V1_SIZE;
        n.hWnd = ui->hidden;
        n.uID = kTrayId;
        n.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // 7
        n.uCallbackMessage = kTrayCallback;
        n.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
        if (!n.hIcon) n.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        lstrcpynA(n.szTip, text.c_str(), sizeof n.szTip);
        ui->iconShown = Shell_NotifyIconA(NIM_ADD, &n) != FALSE;
        added->set_value(ui->iconShown);
      })) {
    return false;
  }
  return done.get();
}

void DesktopWin32::removeTrayIcon() {
  Ui* ui = ui_.get();
  auto removed = std::make_shared<std::promise<void>>();
  auto done = removed->get_future();
  if (!ui_->post([ui, removed] {
        if (ui->iconShown) Shell_NotifyIconA(NIM_DELETE, &ui->icon);
        ui->iconShown = false;
        removed->set_value();
      })) {
    return;
  }
  done.get();
}

void DesktopWin32::bringToForeground() {
  Ui* ui = ui_.get();
  ui_->post([ui] { SetForegroundWindow(ui->hidden); });
}

int DesktopWin32::popupMenu(const std::vector<std::string>& items) {
  if (!ui_->hidden || items.empty()) return -1;
  auto chosen = std::make_shared<std::promise<int>>();
  auto done = chosen->get_future();
  Ui* ui = ui_.get();
  if (!ui_->post([ui, chosen, items] {
        HMENU menu = CreatePopupMenu();
        for (std::size_t i = 0; i < items.size(); ++i)
          AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), items[i].c_str());
        POINT at{};
        GetCursorPos(&at);
        SetForegroundWindow(ui->hidden);
        const int command = static_cast<int>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0,
                           ui->hidden, nullptr));
        PostMessageA(ui->hidden, WM_NULL, 0, 0);  // lets the menu close when focus moves on
        DestroyMenu(menu);
        chosen->set_value(command > 0 ? command - 1 : -1);
      })) {
    return -1;
  }
  return waitLettingEventsRun(ui_->io, done);
}

void DesktopWin32::showInputBox(std::string_view prompt, InputBoxEvents events) {
  Ui* ui = ui_.get();
  const std::string text(prompt);
  if (!ui_->post([ui, text, events = std::move(events)]() mutable {
        ui->inputEvents = std::move(events);
        ui->openInputBox(text);
      })) {
    ui_->log << "== input box ==\n" << text << "\n(no one can answer on this desktop)\n==\n"
             << std::flush;
  }
}

void DesktopWin32::closeInputBox() {
  Ui* ui = ui_.get();
  ui_->post([ui] {
    if (ui->inputBox) DestroyWindow(ui->inputBox);
    ui->inputBox = nullptr;
  });
}

}  // namespace quorvane::platform::windows_backend

namespace quorvane::platform {

std::unique_ptr<Desktop> makeNativeDesktop(asio::io_context& io, std::ostream& log) {
  return std::make_unique<windows_backend::DesktopWin32>(io, log);
}

}  // namespace quorvane::platform
