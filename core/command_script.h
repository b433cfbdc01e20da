// The start-up routine: with fewer than two tokens in the argument text it
// hands over to the window; otherwise it runs the tokens as a command script.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/switch_library.h"

namespace qel {

enum class StartMode { kWindow, kScript };

// A step of a command script that failed: the tokens it was written as
// ("2 1" for a switch, "cmd2", "x") and why, in the window's words
// ("切替できず: IP が空").
struct ScriptFailure {
  std::wstring tokens;
  std::wstring reason;
};

struct StartOutcome {
  StartMode mode = StartMode::kWindow;
  // Script mode: true when any statement was abandoned on an error.
  bool anyStatementFailed = false;
  // Script mode: true when a number could not act: a fourth or later
  // number, or an outlet number that the script's end left without a state.
  bool anyNumberUnused = false;
  // Script mode: each failed step and each number that could not act, in
  // the order of the script. As each happens, its line (ScriptFailureLine)
  // goes to Platform::WriteErrorLine.
  std::vector<ScriptFailure> failures;
};

// Split at every single space: no trimming, empty tokens kept. The empty
// text yields no tokens.
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// Runs the start-up routine. In window mode it calls fillWindow (guarded: a
// failure there is dropped) and returns; ending the process in script mode is
// left to the caller. A failure that nothing expects (out of memory, an
// error in qel itself) stops it there: it returns a script's outcome with
// that failure, its line written ("qel: 処理を中断: 予期しないエラー"). Two or more tokens are a script, empty ones included;
// the script then passes over the empty tokens (a blank at the end, doubled
// blanks), which are no step: cmd keeps the blank before a redirection it
// removes, so that "qel 2 1 >log" gets the text "2 1 ".
StartOutcome RunStartup(SwitchLibrary& library, const std::function<void()>& fillWindow);

// The line a failed step is written as: "qel: 2 1: 切替できず: IP が空", one
// line whatever the system's words hold; without tokens, "qel: " and the
// reason.
std::wstring ScriptFailureLine(const ScriptFailure& failure);

// Waits seconds x 10 slices of 100 ms, processing window events after each.
void WaitSeconds(Platform& platform, std::int16_t seconds);
// The longest wait: its slices must count in 16 bits.
inline constexpr std::int16_t kLongestWaitSeconds = 32767 / 10;

// A script whose call into the switch library did not come back within
// kCallLimitSeconds ends there, with this code: the switch did not answer,
// and the outlet's state is unknown (win32/call_watchdog.h).
inline constexpr int kExitNoAnswer = 2;

// A script that did less than it says ends with 1, one that did all of it
// with 0.
inline int ExitCodeOf(const StartOutcome& outcome) {
  return outcome.anyStatementFailed || outcome.anyNumberUnused ? 1 : 0;
}

}  // namespace qel
