// The script's watchdog in-process, with a process end of the test's own
// that ends only the thread that calls it: the hang line, and which side
// ends the process when a call comes back just as the watch runs out.
#include "win32/call_watchdog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/fake_platform.h"

namespace qel {
namespace {

// What the test's process end saw; it ends the calling thread.
LONG gEnds = 0;
UINT gExitCode = 0;
HANDLE gEnded = nullptr;

void EndThisThread(UINT exitCode) {
  gExitCode = exitCode;
  InterlockedIncrement(&gEnds);
  SetEvent(gEnded);
  ExitThread(0);
}

// Its error lines kept; a write can be held until the test lets it go on.
struct HeldLinePlatform : FakePlatform {
  HeldLinePlatform() : writing(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
  void WriteErrorLine(std::wstring_view line) override {
    SetEvent(writing);
    WaitForSingleObject(release, INFINITE);
    FakePlatform::WriteErrorLine(line);
  }
  HANDLE writing;
  HANDLE release;  // set: writes go through at once
};

struct Fresh {
  Fresh() {
    gEnds = 0;
    gExitCode = 0;
    if (!gEnded) gEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(gEnded);
  }
};

// The line of a call past the limit: its step, and "(切り替わった可能性があ
// る)" once the step has begun to stage its word; exit code 2.
TEST(CallWatchdog, TheHangLineSaysWhetherTheWordWasBeingStaged) {
  const std::wstring noAnswer = L"切替できず: スイッチが応答しない (0 秒)";
  const struct {
    const char* what;
    std::vector<std::pair<std::wstring, std::vector<const char*>>> steps;  // the last call hangs
    std::wstring line;
  } cases[] = {
      {"setip", {{L"1 1", {"setip"}}}, L"qel: 1 1: " + noAnswer},
      {"receivep6", {{L"1 1", {"setip", "receivep6"}}}, L"qel: 1 1: " + noAnswer},
      {"setdata", {{L"1 1", {"setip", "receivep6", "setdata"}}}, L"qel: 1 1: " + noAnswer + L" (切り替わった可能性がある)"},
      {"transfer", {{L"3 0", {"setip", "receivep6", "cleandata", "transfer"}}},
       L"qel: 3 0: " + noAnswer + L" (切り替わった可能性がある)"},
      // A later step starts again: nothing of it staged.
      {"a later step's receivep6",
       {{L"1 1", {"setip", "receivep6", "setdata", "transfer"}}, {L"1 0", {"setip", "receivep6"}}},
       L"qel: 1 0: " + noAnswer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh fresh;
    HeldLinePlatform platform;
    // Left behind: its thread ends with the test's process end.
    auto* watchdog = new CallWatchdog(platform, 20, &EndThisThread);
    for (const auto& [step, calls] : c.steps) {
      watchdog->StepBegins(step);
      for (std::size_t i = 0; i < calls.size(); ++i) {
        watchdog->Begins(calls[i]);
        if (&step != &c.steps.back().first || i + 1 < calls.size()) watchdog->Ended();
      }
    }
    ASSERT_EQ(WaitForSingleObject(gEnded, 10000), WAIT_OBJECT_0) << "the watch did not end the call";
    EXPECT_EQ(gExitCode, 2u);
    EXPECT_EQ(platform.errorLines, std::vector<std::wstring>{c.line});
  }
}

// A call into the library that comes back once the watch is writing its
// line.
struct LateCall {
  CallWatchdog* watchdog;
  HANDLE writing;
};

DWORD WINAPI CallThatComesBackLate(void* context) {
  auto& call = *static_cast<LateCall*>(context);
  call.watchdog->StepBegins(L"2 1");
  call.watchdog->Begins("transfer");
  WaitForSingleObject(call.writing, INFINITE);
  call.watchdog->Ended();  // past the limit: never returns
  return 0;
}

// A call that comes back just as the watch has run out: both sides end the
// process, and exactly one line is written, whole. The watch is writing
// it (held here) when the call comes back: the call's side waits, and the
// process ends only once the line is out, once.
TEST(CallWatchdog, ACallBackJustAsTheWatchRunsOutWritesOneLineBeforeTheEnd) {
  Fresh fresh;
  auto* platform = new HeldLinePlatform;  // left behind with the waiting side
  ResetEvent(platform->release);
  auto* watchdog = new CallWatchdog(*platform, 20, &EndThisThread);
  LateCall call{watchdog, platform->writing};
  const HANDLE caller = CreateThread(nullptr, 0, &CallThatComesBackLate, &call, 0, nullptr);
  ASSERT_NE(caller, nullptr);
  ASSERT_EQ(WaitForSingleObject(platform->writing, 10000), WAIT_OBJECT_0) << "the watch wrote no line";
  // The call has come back, and the line is not yet out: nothing may end
  // the process now.
  EXPECT_EQ(WaitForSingleObject(caller, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "the call went on after the limit";
  EXPECT_EQ(gEnds, 0) << "the process was ended before its line was out";
  SetEvent(platform->release);
  ASSERT_EQ(WaitForSingleObject(gEnded, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(caller, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(gEnds, 1);
  EXPECT_EQ(gExitCode, 2u);
  EXPECT_EQ(platform->errorLines,
            std::vector<std::wstring>{L"qel: 2 1: 切替できず: スイッチが応答しない (0 秒) (切り替わった可能性がある)"});
}

}  // namespace
}  // namespace qel
