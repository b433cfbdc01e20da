#include "core/command_script.h"

#include <array>

#include "core/outlets.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/settings.h"

namespace qel {
namespace {

// Skip-on-error: each statement runs on its own; one that raises a runtime
// error is abandoned, its target keeps its former value and the routine goes
// on with the next statement.
class Statements {
 public:
  template <typename Statement>
  void Run(Statement&& statement) {
    try {
      statement();
    } catch (const RuntimeError&) {
      anyFailed_ = true;
    }
  }
  bool anyFailed() const { return anyFailed_; }

 private:
  bool anyFailed_ = false;
};

constexpr std::size_t kNumberTextLength = 20;  // characters read after W or CMD

// The lenient reading of at most 20 characters from index `from`, rounded to
// nearest, as a 16-bit integer.
std::int16_t NumberAfter(const std::wstring& token, std::size_t from) {
  const std::wstring text = from < token.size() ? token.substr(from, kNumberTextLength) : std::wstring();
  return ToInt16(RoundHalfEven(LenientNumber(text)));
}

void StartProgram(Platform& platform, const std::wstring& commandLine) {
  if (!platform.StartCommandLine(commandLine)) {
    throw RuntimeError(ErrorKind::kCannotStartProgram, "command line cannot be started");
  }
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
  std::vector<std::wstring> tokens;
  if (text.empty()) return tokens;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = text.find(L' ', start);
    if (space == std::wstring::npos) {
      tokens.push_back(text.substr(start));
      return tokens;
    }
    tokens.push_back(text.substr(start, space - start));
    start = space + 1;
  }
}

void WaitSeconds(Platform& platform, std::int16_t seconds) {
  const std::int16_t total = MultiplyInt16(seconds, 10);
  for (std::int16_t i = 1; i <= total; ++i) platform.SleepThenPumpEvents(100);
}

StartOutcome RunStartup(SwitchLibrary& library, const std::function<void()>& fillWindow) {
  Platform& platform = library.platform();
  Statements statements;
  std::vector<std::wstring> tokens;
  std::int16_t last = 0;  // a failed split leads to window mode
  std::array<std::int16_t, 6> slots{};
  // Whether a slot holds the number its token gave. A token that does not
  // convert leaves its slot as it was, and no switch may use that slot: an
  // outlet is never switched with a value nobody wrote.
  std::array<bool, 6> converted{};
  std::int16_t count = 0;
  std::int16_t number = 0;

  statements.Run([&] { tokens = SplitArguments(platform.ArgumentText()); });
  statements.Run([&] { last = NarrowToInt16(static_cast<std::int32_t>(tokens.size()) - 1); });
  if (last < 1) {
    statements.Run(fillWindow);
    return {StartMode::kWindow, false};
  }

  const std::int16_t bound = last;
  for (std::int32_t k = 0; k <= bound; ++k) {
    std::wstring token;
    statements.Run([&] { token = platform.ToUpper(tokens[static_cast<std::size_t>(k)]); });
    if (const std::size_t w = token.find(L'W'); w != std::wstring::npos) {
      statements.Run([&] { number = NumberAfter(token, w + 1); });
      statements.Run([&] { WaitSeconds(platform, number); });
    } else if (const std::size_t cmd = token.find(L"CMD"); cmd != std::wstring::npos) {
      statements.Run([&] { number = NumberAfter(token, cmd + 3); });
      statements.Run([&] { StartProgram(platform, ReadSetting(platform, CommandKey(number))); });
    } else {
      statements.Run([&] {
        if (count < 0 || count >= static_cast<std::int16_t>(slots.size())) {
          throw RuntimeError(ErrorKind::kIndexOutOfRange, "more than six numbers");
        }
        const auto slot = static_cast<std::size_t>(count);
        slots[slot] = ToInt16(RoundDown(StrictNumber(platform, token)));
        converted[slot] = true;
      });
      statements.Run([&] { count = AddInt16(count, 1); });
      statements.Run([&] {
        // The second and the third number each switch the outlet of the
        // first; a slot that did not convert switches nothing (its token's
        // failure is counted already).
        const std::size_t state = count == 2 ? 1 : count == 3 ? 2 : 0;
        if (state != 0 && converted[0] && converted[state]) SwitchOutlet(library, slots[0], slots[state]);
      });
    }
  }
  // Numbers that could not act: a fourth or later one, or an outlet number
  // with no state after it.
  const bool anyNumberUnused = count == 1 || count >= 4;
  return {StartMode::kScript, statements.anyFailed(), anyNumberUnused};
}

}  // namespace qel
