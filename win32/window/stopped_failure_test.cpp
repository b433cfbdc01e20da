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
#include <vector>

#include "core/switch_library.h"
#include "win32/win32_platform.h"
#include "win32/window/control_ids.h"
#include "win32/window/live_panel.h"
#include "win32/window/main_window.h"
#include "win32/window/window_test_support.h"

namespace qel {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
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
  void Pump(DWORD milliseconds = 300) { PumpMessages(milliseconds); }

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

  std::wstring LabelTip(int outlet) { return qel::LabelTip(hwnd_, outlet); }

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
