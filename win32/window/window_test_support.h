// For the window's in-process tests: the message boxes that the window
// shows on this thread, read and closed with OK by a thread of the test's
// own; the windows of a thread; an outlet label's tooltip; a message pump.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "win32/window/control_ids.h"

namespace qel {

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

inline BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM windows);

// The top-level windows of a thread.
inline std::vector<HWND> WindowsOfThread(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

inline BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hwnd);
  return TRUE;
}

// The message boxes of this thread, while one is looked for: their text,
// each closed with OK.
class MessageBoxWatch {
 public:
  MessageBoxWatch() : thread_(GetCurrentThreadId()), watcher_([this] { Watch(); }) {}
  ~MessageBoxWatch() {
    stop_ = true;
    watcher_.join();
  }
  // The texts of the boxes seen so far, one per line.
  std::wstring Seen() {
    std::wstring seen;
    for (int i = 0; i < count_; ++i) seen += texts_[i] + L"\n";
    return seen;
  }
  int count() const { return count_; }

 private:
  void Watch() {
    while (!stop_) {
      for (HWND hwnd : WindowsOfThread(thread_)) {
        if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd)) Close(hwnd);
      }
      Sleep(20);
    }
  }
  void Close(HWND box) {
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);  // the message box's text
    if (count_ < 8) texts_[count_] = text;
    ++count_;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  }

  const DWORD thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
  std::wstring texts_[8];
  std::thread watcher_;
};

// Handles what is posted to this thread for a while, but the event
// loop's WM_QUIT (the window's teardown posts it for qel's loop).
inline void PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

// The tooltip of outlet label `outlet` (0-based) of `window`.
inline std::wstring LabelTip(HWND window, int outlet) {
  // The labels' tooltip control holds a tool per label, the focused
  // button's one tool only.
  HWND tips = nullptr;
  for (HWND hwnd : WindowsOfThread(GetWindowThreadProcessId(window, nullptr))) {
    if (ClassOf(hwnd) == TOOLTIPS_CLASSW && SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0) > 1) tips = hwnd;
  }
  if (tips == nullptr) return L"(no tooltips)";
  wchar_t text[256] = {};
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, kIdOutletLabel + outlet));
  tool.lpszText = text;
  SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return text;
}

}  // namespace qel
