// The window's calls into the switch library, in-process, against a switch
// of the test's own whose status read can be held for as long as a test
// needs: what happens when an answer's message is lost, when an answer
// comes past the limit with an ON waiting behind it, to an ON waiting
// behind a poll, and to a call still under way when the window goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/switch_library.h"
#include "core/switch_library_api.h"
#include "core/window_texts.h"
#include "testing/windows_test_files.h"
#include "win32/win32_platform.h"
#include "win32/window/control_ids.h"
#include "win32/window/main_window.h"
#include "win32/window/window_test_support.h"

namespace qel {
namespace {

// The switch: records its calls; receivep6 waits while `held` (until it is
// let go) and answers `status`; transfer stores its word there.
struct HeldSwitch {
  static inline std::mutex lock;
  static inline std::vector<std::string> calls;
  static inline std::atomic<bool> held{false};
  static inline std::atomic<bool> inCall{false};  // a receivep6 is under way
  static inline std::atomic<std::int32_t> status{0};

  static void Record(const std::string& call) {
    std::lock_guard<std::mutex> guard(lock);
    calls.push_back(call);
  }
  static std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> guard(lock);
    return calls;
  }
  static int Count(const std::string& prefix) {
    int count = 0;
    for (const std::string& call : Calls()) count += call.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }

  static std::int32_t QEL_STDCALL setip(const char* address) {
    Record(std::string("setip ") + address);
    return 0;
  }
  static std::int32_t QEL_STDCALL receivep6() {
    inCall = true;
    Record("receivep6");
    while (held) Sleep(10);
    inCall = false;
    return status;
  }
  static std::int32_t QEL_STDCALL setdata(std::int32_t word) {
    Record("setdata " + std::to_string(word));
    return word;
  }
  static std::int32_t QEL_STDCALL cleandata(std::int32_t word) {
    Record("cleandata " + std::to_string(word));
    return word;
  }
  static std::int32_t QEL_STDCALL transfer(std::int32_t word) {
    Record("transfer " + std::to_string(word));
    status = word;
    return word;
  }
};

#define QEL_HELD_FUNCTION(name, parameters) \
  {#name, reinterpret_cast<RawFunction>(static_cast<switch_api::name##_function>(&HeldSwitch::name))},
const std::pair<const char*, RawFunction> kHeldFunctions[] = {QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_HELD_FUNCTION)};
#undef QEL_HELD_FUNCTION

// The real platform, with ip.ini in a folder of the test's own and the held
// switch as the library.
class HeldSwitchPlatform : public Win32Platform {
 public:
  explicit HeldSwitchPlatform(std::wstring folder) : folder_(std::move(folder)) {}
  std::wstring ExecutableDirectory() override { return folder_; }
  void* LoadSwitchLibrary(const std::wstring&, SystemError&) override { return this; }
  RawFunction FindFunction(void*, const char* name) override {
    for (const auto& [known, function] : kHeldFunctions) {
      if (std::string(known) == name) return function;
    }
    return nullptr;
  }

 private:
  std::wstring folder_;
};

// A notice of an answer that never arrives, as when the window's message
// queue is full.
BOOL WINAPI LoseTheMessage(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class LibraryCalls : public testing::Test {
 protected:
  void SetUp() override {
    HeldSwitch::calls.clear();
    HeldSwitch::held = false;
    HeldSwitch::status = 0;
    qel_test::WriteAll(folder_ + L"\\ip.ini", "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\n");
  }
  void TearDown() override {
    HeldSwitch::held = false;
    if (window_ != nullptr) Close();
    qel_test::RemoveFolder(folder_);
  }

  // The window, filled from ip.ini and set up as when it shows; the first
  // selection asked for.
  void Open(LibraryThread::Notify notify = &PostMessageW) {
    window_ = std::make_unique<MainWindow>(library_, notify);
    hwnd_ = window_->Create(GetModuleHandleW(nullptr));
    ASSERT_NE(hwnd_, nullptr);
    window_->FillFromSettings();
    KillTimer(hwnd_, kPollTimer);  // the test ticks
    SendMessageW(hwnd_, kMsgFinishSetUp, 0, 0);
  }
  void Close() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    window_.reset();
    // The window's teardown posts WM_QUIT for qel's event loop; not ours.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Handles what is posted to this thread for a while (the test's window
  // has no timer: no tick among it).
  void Pump(DWORD milliseconds) { PumpMessages(milliseconds); }
  void Tick() { SendMessageW(hwnd_, WM_TIMER, kPollTimer, 0); }
  // Ticks until the switch has been read `count` times in all, for up to
  // 10 s; whether it has.
  bool TickUntilRead(int count) {
    for (int i = 0; i < 200; ++i) {
      if (HeldSwitch::Count("receivep6") >= count && !HeldSwitch::inCall) return true;
      Tick();
      Pump(50);
    }
    return false;
  }
  void Click(int id) {
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd_, id)));
  }
  // Waits until the held read has begun.
  bool AwaitHeldRead() {
    for (int i = 0; i < 500 && !HeldSwitch::inCall; ++i) {
      Tick();
      Pump(20);
    }
    return HeldSwitch::inCall;
  }

  std::wstring folder_;
  HeldSwitchPlatform platform_{folder_ = qel_test::FreshFolderForThisTest(L"qel-calls-")};
  SwitchLibrary library_{platform_};
  std::unique_ptr<MainWindow> window_;
  HWND hwnd_ = nullptr;
};

// The thread's notice of an answer is lost every time: the poll's timer
// takes each answer all the same, and the poll goes on.
TEST_F(LibraryCalls, AnAnswerWhoseMessageIsLostIsTakenAtTheNextTick) {
  HeldSwitch::status = 4;
  Open(&LoseTheMessage);
  ASSERT_TRUE(TickUntilRead(3)) << "the poll stopped; calls: " << HeldSwitch::Calls().size();
  const std::wstring on = texts::StateWord(true) + texts::SavedAddressNote(L"192.168.1.10");
  for (int i = 0; i < 10 && LabelTip(hwnd_, 1) != on; ++i) {
    Tick();
    Pump(50);
  }
  EXPECT_EQ(qel_test::Narrow(LabelTip(hwnd_, 1)), qel_test::Narrow(on));
}

// ON waits behind a poll that passes the limit and answers before the
// timer ticks again: the answer is taken first, and the ON is not carried
// out, and says so.
TEST_F(LibraryCalls, AnOnBehindACallPastTheLimitIsNotCarriedOutWhenItsAnswerComesFirst) {
  Open();
  ASSERT_TRUE(TickUntilRead(1));
  HeldSwitch::held = true;
  ASSERT_TRUE(AwaitHeldRead());
  SetDlgItemTextW(hwnd_, kIdAddress, L"192.168.1.10");
  Click(kIdOn + 1);  // waits behind the held read
  // Past the limit without a tick, then the answer: its message comes
  // before the next tick.
  Sleep(kCallLimitSeconds * 1000 + 300);
  MessageBoxWatch boxes;
  HeldSwitch::held = false;
  Pump(1500);
  EXPECT_EQ(HeldSwitch::Count("setdata"), 0) << "the ON was carried out";
  EXPECT_EQ(HeldSwitch::Count("transfer"), 0);
  EXPECT_EQ(boxes.count(), 1);
  EXPECT_EQ(qel_test::Narrow(boxes.Seen()).rfind(qel_test::Narrow(L"切替できず: スイッチが応答しない ("), 0), 0u)
      << qel_test::Narrow(boxes.Seen());
}

// ON waits behind a poll: it is carried out once, not again after each
// answer that follows.
TEST_F(LibraryCalls, AnOnWaitingBehindAPollIsCarriedOutOnce) {
  Open();
  ASSERT_TRUE(TickUntilRead(1));
  HeldSwitch::held = true;
  ASSERT_TRUE(AwaitHeldRead());
  SetDlgItemTextW(hwnd_, kIdAddress, L"192.168.1.10");
  Click(kIdOn + 1);
  HeldSwitch::held = false;
  const int reads = HeldSwitch::Count("receivep6");
  ASSERT_TRUE(TickUntilRead(reads + 4));
  EXPECT_EQ(HeldSwitch::Count("setdata"), 1);
  EXPECT_EQ(HeldSwitch::Count("transfer"), 1);
}

// The window goes while a call is under way: the call ends before the
// window's library thread does, so that nothing it uses is gone under it.
TEST_F(LibraryCalls, AWindowThatGoesWaitsForTheCallUnderWay) {
  Open();
  ASSERT_TRUE(TickUntilRead(1));
  HeldSwitch::held = true;
  ASSERT_TRUE(AwaitHeldRead());
  std::thread letGo([] {
    Sleep(500);
    HeldSwitch::held = false;
  });
  Close();
  EXPECT_FALSE(HeldSwitch::inCall) << "the window went with the call still under way";
  letGo.join();
}

}  // namespace
}  // namespace qel
