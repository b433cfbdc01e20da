#include "core/command_script.h"

#include <array>
#include <new>
#include <optional>
#include <utility>

#include "core/outlets.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/settings.h"
#include "core/status_query.h"
#include "core/switch_confirm.h"
#include "core/switch_log.h"
#include "core/window_texts.h"

namespace qel {
namespace {

// Skip-on-error: each statement runs on its own; one that raises a runtime
// error is abandoned, its target keeps its former value and the routine goes
// on with the next statement. A failed step is reported once, in words of
// its own.
class Statements {
 public:
  explicit Statements(Platform& platform) : platform_(platform) {}

  // Runs `statement`; the kind of the runtime error it raised, if any.
  template <typename Statement>
  std::optional<ErrorKind> Run(Statement&& statement) {
    const std::optional<ErrorKind> failure = FailureOf(statement);
    if (failure) anyFailed_ = true;
    return failure;
  }
  // A statement that failed without raising.
  void Failed() { anyFailed_ = true; }
  // A step that did not do what it was written for: kept, and written
  // where the script's caller keeps it.
  void Report(std::wstring tokens, std::wstring reason) {
    failures_.push_back({std::move(tokens), std::move(reason)});
    platform_.WriteErrorLine(ScriptFailureLine(failures_.back()));
  }
  bool anyFailed() const { return anyFailed_; }
  // The reason reported last.
  std::wstring LastReason() const { return failures_.empty() ? std::wstring() : failures_.back().reason; }
  std::vector<ScriptFailure> TakeFailures() { return std::move(failures_); }

 private:
  Platform& platform_;
  bool anyFailed_ = false;
  std::vector<ScriptFailure> failures_;
};

// The check of each switch (switch_confirm.h): CONFIRM read once, at the
// first switch, a value refused said once; and what a switch that does not
// answer leaves in the log.
class ScriptConfirm {
 public:
  ScriptConfirm(SwitchLibrary& library, SwitchLog& log) : library_(library), log_(log) {}

  // The calls of `step` begin, for the outlet and state of `entry`: when
  // the switch does not answer, the line says `reason` and the log "no
  // answer" before the process ends.
  void StepBegins(const std::wstring& step, const LogEntry& entry, const std::wstring& reason) {
    if (SwitchCallWatch* watch = library_.watch()) watch->StepBegins(step);
    WhenNoAnswer(entry, reason);
  }
  void WhenNoAnswer(LogEntry entry, const std::wstring& reason) {
    SwitchCallWatch* watch = library_.watch();
    if (watch == nullptr) return;
    entry.result = LogResult(log_result::kNoAnswer, reason);
    log_.Prepare();
    SwitchLog& log = log_;
    watch->WhenNoAnswer(reason, [&log, entry] { log.Write(entry); });
  }

  // Nothing when the switch of `entry` is confirmed (or not checked); else
  // why not. A read that fails says so; one that hangs is the watchdog's.
  std::optional<std::wstring> Check(const LogEntry& entry, std::int16_t mask, bool on) {
    Platform& platform = library_.platform();
    if (!seconds_) {
      std::wstring value;
      FailureOf([&] { value = ReadSetting(platform, kConfirmKey); });
      const ConfirmSeconds read = ConfirmSecondsOf(platform, value);
      seconds_ = read.seconds;
      if (read.refused) {
        platform.WriteErrorLine(ScriptFailureLine(
            {kConfirmKey, texts::ConfirmRefused(*read.refused, kLongestConfirmSeconds, kDefaultConfirmSeconds)}));
      }
    }
    if (*seconds_ == 0) return std::nullopt;
    WhenNoAnswer(entry, texts::ConfirmNoAnswer(kCallLimitSeconds));
    std::optional<std::wstring> reason;
    if (const auto failure = FailureOf([&] { reason = ConfirmSwitch(library_, mask, on, *seconds_); })) {
      return texts::CannotConfirm(*failure, library_.loadFailure());
    }
    return reason;
  }

  // The seconds of the check; 0: no check.
  int seconds() const { return seconds_.value_or(kDefaultConfirmSeconds); }

 private:
  SwitchLibrary& library_;
  SwitchLog& log_;
  std::optional<int> seconds_;
};

constexpr std::size_t kNumberTextLength = 20;  // characters read after W or CMD

// The lenient reading of at most 20 characters from index `from`, rounded to
// nearest, as a 16-bit integer.
std::int16_t NumberAfter(const std::wstring& token, std::size_t from) {
  const std::wstring text = from < token.size() ? token.substr(from, kNumberTextLength) : std::wstring();
  return ToInt16(RoundHalfEven(LenientNumber(text)));
}

std::wstring Joined(const std::vector<std::wstring>& tokens) {
  std::wstring joined;
  for (const std::wstring& token : tokens) joined += (joined.empty() ? L"" : L" ") + token;
  return joined;
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

std::wstring ScriptFailureLine(const ScriptFailure& failure) {
  // A failure of no step of its own ("qel: 処理を中断: ...") names none.
  std::wstring line = L"qel: " + (failure.tokens.empty() ? L"" : failure.tokens + L": ") + failure.reason;
  for (wchar_t& c : line) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return line;
}

void WaitSeconds(Platform& platform, std::int16_t seconds) {
  const std::int16_t total = MultiplyInt16(seconds, 10);
  for (std::int16_t i = 1; i <= total; ++i) platform.SleepThenPumpEvents(100);
}

namespace {

StartOutcome RunStatements(SwitchLibrary& library, const std::function<void()>& fillWindow) {
  Platform& platform = library.platform();
  Statements statements(platform);
  std::vector<std::wstring> tokens;
  std::int16_t last = 0;  // a failed split leads to window mode
  std::array<std::int16_t, 6> slots{};
  // Whether a slot holds the number its token gave. A token that does not
  // convert leaves its slot as it was, and no switch may use that slot: an
  // outlet is never switched with a value nobody wrote.
  std::array<bool, 6> converted{};
  std::int16_t count = 0;
  std::int16_t number = 0;
  std::wstring outletToken;                 // the first number's token, as written
  std::vector<std::wstring> unusedNumbers;  // the fourth and later ones

  statements.Run([&] { tokens = SplitArguments(platform.ArgumentText()); });
  statements.Run([&] { last = NarrowToInt16(static_cast<std::int32_t>(tokens.size()) - 1); });
  if (last < 1) {
    statements.Run(fillWindow);
    return {StartMode::kWindow, false, false, {}};
  }
  SwitchLog log(platform, LogMode::kScript, [&platform](const std::wstring& reason) {
    platform.WriteErrorLine(ScriptFailureLine({kLogKey, reason}));
  });
  if (IsStatusQuery(tokens)) {
    std::vector<ScriptFailure> failures = RunStatusQuery(library, tokens, log);
    const bool anyFailed = !failures.empty();
    return {StartMode::kScript, anyFailed, false, std::move(failures)};
  }
  ScriptConfirm confirm(library, log);

  const std::int16_t bound = last;
  for (std::int32_t k = 0; k <= bound; ++k) {
    const std::wstring& written = tokens[static_cast<std::size_t>(k)];
    if (written.empty()) continue;  // a blank's, no step
    std::wstring token;
    statements.Run([&] { token = platform.ToUpper(written); });
    if (const std::size_t w = token.find(L'W'); w != std::wstring::npos) {
      // As for CMD: a number out of 16 bits waits nothing, not the time of
      // the number before it, which this token does not name.
      const auto numberFailure = statements.Run([&] { number = NumberAfter(token, w + 1); });
      if (numberFailure || statements.Run([&] { WaitSeconds(platform, number); })) {
        statements.Report(written, texts::WaitTooLong(kLongestWaitSeconds));
      }
    } else if (const std::size_t cmd = token.find(L"CMD"); cmd != std::wstring::npos) {
      // A number out of 16 bits starts nothing: not the command line of
      // the number before it, which this token does not name.
      if (statements.Run([&] { number = NumberAfter(token, cmd + 3); })) {
        statements.Report(written, texts::kCommandNumberOutOfRange);
        continue;
      }
      std::wstring commandLine;
      if (statements.Run([&] { commandLine = ReadSetting(platform, CommandKey(number)); })) {
        statements.Report(written, texts::NoSettingsPath(texts::kCannotLaunch));
      } else if (const std::optional<SystemError> failure = platform.StartCommandLine(commandLine)) {
        statements.Failed();
        statements.Report(written, texts::CannotLaunch(CommandKey(number), commandLine, *failure));
        log.Write({L"", CommandKey(number), commandLine, LogResult(log_result::kFailed, statements.LastReason())});
      } else {
        log.Write({L"", CommandKey(number), commandLine, log_result::kStarted});
      }
    } else {
      const auto numberFailure = statements.Run([&] {
        if (count < 0 || count >= static_cast<std::int16_t>(slots.size())) {
          throw RuntimeError(ErrorKind::kIndexOutOfRange, "more than six numbers");
        }
        const auto slot = static_cast<std::size_t>(count);
        slots[slot] = ToInt16(RoundDown(StrictNumber(platform, token)));
        converted[slot] = true;
      });
      // A seventh or later number fails to store: told as an unused one.
      if (numberFailure && *numberFailure != ErrorKind::kIndexOutOfRange) {
        statements.Report(written, texts::NumberCannotSwitch(*numberFailure));
      }
      if (count == 0) outletToken = written;
      if (count >= 3) unusedNumbers.push_back(written);
      statements.Run([&] { count = AddInt16(count, 1); });
      // The second and the third number each switch the outlet of the
      // first; a slot that did not convert switches nothing (its token's
      // failure is reported already).
      const std::size_t state = count == 2 ? 1 : count == 3 ? 2 : 0;
      if (state != 0 && converted[0] && converted[state]) {
        const std::wstring step = outletToken + L" " + written;
        StoredOutlet stored;
        const bool on = slots[state] != 0;
        LogEntry entry{L"", KeyText(slots[0]), on ? L"on" : L"off", L""};
        if (const auto failure = statements.Run([&] { stored = ReadStoredOutlet(platform, slots[0]); })) {
          statements.Report(step, texts::StoredMaskFailure(texts::kCannotSwitch, *failure, slots[0],
                                                          SettingsFilePath(platform)));
          FailureOf([&] { entry.address = ReadSetting(platform, kAddressKey); });  // for the log
        } else if (const auto failure = statements.Run([&] {
                     entry.address = stored.address;
                     confirm.StepBegins(step, entry, texts::CannotSwitchNoAnswer(kCallLimitSeconds));
                     SwitchByMask(library, stored.address, stored.mask, slots[state]);
                   })) {
          statements.Report(step, texts::CannotSwitch(*failure, library.stagingBegun(), library.loadFailure()));
        } else if (const auto notConfirmed = confirm.Check(entry, stored.mask, on)) {
          statements.Failed();
          statements.Report(step, *notConfirmed);
          entry.result = LogResult(log_result::kNotConfirmed, *notConfirmed);
        } else {
          entry.result = confirm.seconds() > 0 ? log_result::kConfirmed : log_result::kDone;
        }
        if (entry.result.empty()) entry.result = LogResult(log_result::kFailed, statements.LastReason());
        log.Write(entry);
      }
    }
  }
  // Numbers that could not act: an outlet number with no state after it, or
  // a fourth or later one.
  if (count == 1) statements.Report(outletToken, texts::kNoState);
  if (!unusedNumbers.empty()) statements.Report(Joined(unusedNumbers), texts::kNumbersUnused);
  const bool anyNumberUnused = count == 1 || count >= 4;
  return {StartMode::kScript, statements.anyFailed(), anyNumberUnused, statements.TakeFailures()};
}

}  // namespace

StartOutcome RunStartup(SwitchLibrary& library, const std::function<void()>& fillWindow) {
  // A failure that nothing expects (the system out of memory, an error in
  // qel itself) stops the routine where it happens: a script ends with its
  // line and exit code 1, as after any failure, not through abort.
  texts::Unexpected failure = texts::Unexpected::kOther;
  try {
    return RunStatements(library, fillWindow);
  } catch (const std::bad_alloc&) {
    failure = texts::Unexpected::kOutOfMemory;
  } catch (...) {
  }
  StartOutcome stopped{StartMode::kScript, true, false, {}};
  try {
    stopped.failures.push_back({L"", texts::Stopped(failure)});
    library.platform().WriteErrorLine(ScriptFailureLine(stopped.failures.back()));
  } catch (...) {
    // Out of memory for the line itself: the exit code still says it.
  }
  return stopped;
}

}  // namespace qel
