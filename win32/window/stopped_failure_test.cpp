// A failure that qel's own handling does not expect, forced inside a window
// message and inside a poll, in-process: the system runs out of memory
// (std::bad_alloc) in the first platform call of ON, of save and quit and
// of the poll. The window stops it at the edge of its window procedure,
// says so (a message box; for the poll the labels' tooltips, no box) and
// goes on. Without that edge the exception would reach the system's frames
// under the window procedure, which the 32-bit GCC runtime cannot unwind:
// the process, this test program, would end at once.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "core/switch_library.h"
#include "win32/win32_platform.h"
#include "win32/window/control_ids.h"
#include "win32/window/live_panel.h"
#include "win32/window/main_window.h"

namespace qel {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM windows);

// The top-level windows of a thread.
std::vector<HWND> WindowsOfThread(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hwnd);
  return TRUE;
}

// The real platform, until memory runs out: then the calls that ON, save
// and quit and the poll make first fail as an allocation does.
class MemoryRunningOutPlatform : public Win32Platform {
 public:
  std::atomic<bool> outOfMemory{false};

  std::wstring ExecutableDirectory() override {
    RunOutIfDue();
    return Win32Platform::ExecutableDirectory();
  }
  std::wstring FoldFullWidth(std::wstring_view text) override {
    RunOutIfDue();
    return Win32Platform::FoldFullWidth(text);
  }

 private:
  void RunOutIfDue() const {
    if (outOfMemory) throw std::bad_alloc();
  }
};

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

class StoppedFailure : public testing::Test {
 protected:
  void SetUp() override {
    hwnd_ = window_.Create(GetModuleHandleW(nullptr));
    ASSERT_NE(hwnd_, nullptr);
    // The labels' tooltips, as the window sets them up once it shows.
    SendMessageW(hwnd_, kMsgFinishSetUp, 0, 0);
  }
  void TearDown() override {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    // The window's teardown posts WM_QUIT for qel's event loop; not ours.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Handles what is posted to this thread (a stopped failure's report among
  // it), for a while.
  void Pump(DWORD milliseconds = 300) {
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

  void Click(int id) {
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd_, id)));
  }
  // The poll's timer ticks until the first label's tooltip says `tip` (the
  // poll's answer comes from the library's thread), for up to 10 s; the
  // tooltip then.
  std::wstring PollUntil(const std::wstring& tip) {
    std::wstring said;
    for (int i = 0; i < 200 && (said = LabelTip(0)) != tip; ++i) {
      SendMessageW(hwnd_, WM_TIMER, kPollTimer, 0);
      Pump(50);
    }
    return said;
  }

  // The tooltip of outlet label `outlet` (0-based).
  std::wstring LabelTip(int outlet) {
    // The labels' tooltip control holds a tool per label, the focused
    // button's one tool only.
    HWND tips = nullptr;
    for (HWND hwnd : WindowsOfThread(GetCurrentThreadId())) {
      if (ClassOf(hwnd) == TOOLTIPS_CLASSW && SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0) > 1) tips = hwnd;
    }
    if (tips == nullptr) return L"(no tooltips)";
    wchar_t text[256] = {};
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hwnd_, kIdOutletLabel + outlet));
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
  }

  MemoryRunningOutPlatform platform_;  // the library's thread reads it too
  SwitchLibrary library_{platform_};
  MainWindow window_{library_};
  HWND hwnd_ = nullptr;
};

TEST_F(StoppedFailure, InsideAWindowMessageItIsSaidAndTheWindowGoesOn) {
  const struct {
    const char* what;
    int button;
  } cases[] = {
      {"ON of outlet 1 (the mask's conversion)", kIdOn},
      {"save and quit (the path of ip.ini)", kIdSaveAndQuit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MessageBoxWatch boxes;
    platform_.outOfMemory = true;
    Click(c.button);
    platform_.outOfMemory = false;
    Pump();
    EXPECT_EQ(boxes.count(), 1) << Narrow(boxes.Seen());
    EXPECT_EQ(boxes.Seen(), L"処理を中断: メモリが足りない\n") << Narrow(boxes.Seen());
    ASSERT_TRUE(IsWindow(hwnd_)) << "the window is gone";
    EXPECT_TRUE(IsWindowEnabled(hwnd_));
  }
  // And it goes on working: the poll reads again (ip.ini beside this
  // program holds no address).
  EXPECT_EQ(PollUntil(L"状態不明: IP が保存されていない"), L"状態不明: IP が保存されていない");
}

TEST_F(StoppedFailure, InsideAPollItShowsInTheLabelsWithoutAMessage) {
  MessageBoxWatch boxes;
  ASSERT_EQ(PollUntil(L"状態不明: IP が保存されていない"), L"状態不明: IP が保存されていない");
  platform_.outOfMemory = true;
  EXPECT_EQ(PollUntil(L"状態不明: メモリが足りない"), L"状態不明: メモリが足りない");
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    SCOPED_TRACE("outlet " + std::to_string(outlet + 1));
    EXPECT_EQ(LabelTip(outlet), L"状態不明: メモリが足りない");
  }
  EXPECT_EQ(boxes.count(), 0) << Narrow(boxes.Seen());
  // The next poll with memory again shows the state as before.
  platform_.outOfMemory = false;
  EXPECT_EQ(PollUntil(L"状態不明: IP が保存されていない"), L"状態不明: IP が保存されていない");
  EXPECT_EQ(LabelTip(3), L"状態不明: IP が保存されていない");
  EXPECT_TRUE(IsWindow(hwnd_));
}

}  // namespace
}  // namespace qel
