#include "core/status_query.h"

#include <optional>

#include "core/command_script.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/outlets.h"
#include "core/settings.h"
#include "core/switch_confirm.h"
#include "core/window_texts.h"

namespace qel {
namespace {

// An outlet as named, and its mask, or why it has none.
struct NamedOutlet {
  std::wstring token;
  std::int16_t mask = 0;
  std::optional<std::wstring> unknown;  // the reason, when it cannot be reported
};

std::wstring Joined(const std::vector<NamedOutlet>& outlets) {
  std::wstring joined;
  for (const NamedOutlet& outlet : outlets) joined += (joined.empty() ? L"" : L" ") + outlet.token;
  return joined;
}

}  // namespace

bool IsStatusQuery(const std::vector<std::wstring>& tokens) {
  return tokens.size() >= 2 && tokens.front() == kStatusQueryToken;
}

std::vector<ScriptFailure> RunStatusQuery(SwitchLibrary& library, const std::vector<std::wstring>& tokens,
                                          SwitchLog& log) {
  std::vector<ScriptFailure> failures;
  Platform& platform = library.platform();
  std::vector<NamedOutlet> outlets;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].empty()) continue;  // a blank's, no outlet
    NamedOutlet outlet;
    outlet.token = tokens[i];
    std::int16_t number = 0;
    if (const auto failure = FailureOf([&] { number = ToInt16(RoundDown(StrictNumber(platform, tokens[i]))); })) {
      outlet.unknown = texts::NumberUnknown(*failure);
    } else if (const auto failure = FailureOf([&] { outlet.mask = ReadStoredMask(platform, number); })) {
      outlet.unknown = texts::StoredMaskFailure(texts::kUnknownState, *failure, number, SettingsFilePath(platform));
    } else if (outlet.mask == 0) {
      outlet.unknown = texts::StatusReadFailed(ErrorKind::kMaskZero, {});
    }
    outlets.push_back(outlet);
  }
  const std::wstring step = std::wstring(kStatusQueryToken) + L" " + Joined(outlets);
  if (outlets.empty()) {
    failures.push_back({kStatusQueryToken, texts::kNoOutletNamed});
    platform.WriteErrorLine(ScriptFailureLine(failures.back()));
    log.Write({L"", L"", kStatusQueryToken, LogResult(log_result::kFailed, texts::kNoOutletNamed)});
    return failures;
  }

  // One read, when any outlet has a mask to read it by.
  std::wstring address;
  std::optional<std::int16_t> word;
  std::optional<std::wstring> readFailure;
  bool anyMask = false;
  for (const NamedOutlet& outlet : outlets) anyMask = anyMask || !outlet.unknown;
  if (anyMask) {
    if (const auto failure = FailureOf([&] {
          address = ReadSetting(platform, kAddressKey);
          if (SwitchCallWatch* watch = library.watch()) {
            watch->StepBegins(step);
            // No answer: every line says unknown before the process ends.
            // (Told while the read hangs, which keeps `log` alive.)
            const LogEntry entry{address, Joined(outlets), kStatusQueryToken, log_result::kNoAnswer};
            log.Prepare();
            watch->WhenNoAnswer(texts::NoAnswer(kCallLimitSeconds), [&platform, &log, entry, count = outlets.size()] {
              for (std::size_t i = 0; i < count; ++i) platform.WriteOutputLine("unknown");
              log.Write(entry);
            });
          }
          word = ReadStatus(library, address);
        })) {
      readFailure = texts::StatusReadFailed(*failure, library.loadFailure());
    }
  }

  std::wstring results;
  for (NamedOutlet& outlet : outlets) {
    if (!outlet.unknown && readFailure) outlet.unknown = readFailure;
    const char* line = outlet.unknown ? "unknown" : OutletIsOn(*word, outlet.mask) ? "on" : "off";
    platform.WriteOutputLine(line);
    results += (results.empty() ? L"" : L" ") + std::wstring(line, line + std::char_traits<char>::length(line));
  }
  // Each reason once, for the outlets it holds for.
  for (std::size_t i = 0; i < outlets.size(); ++i) {
    if (!outlets[i].unknown) continue;
    bool saidBefore = false;
    for (std::size_t j = 0; j < i; ++j) saidBefore = saidBefore || outlets[j].unknown == outlets[i].unknown;
    if (saidBefore) continue;
    std::wstring tokensOfReason;
    for (std::size_t j = i; j < outlets.size(); ++j) {
      if (outlets[j].unknown == outlets[i].unknown) tokensOfReason += L" " + outlets[j].token;
    }
    failures.push_back({kStatusQueryToken + tokensOfReason, *outlets[i].unknown});
    platform.WriteErrorLine(ScriptFailureLine(failures.back()));
  }
  // What was reported, and why the first unknown one is.
  std::wstring firstReason;
  for (const NamedOutlet& outlet : outlets) {
    if (outlet.unknown && firstReason.empty()) firstReason = *outlet.unknown;
  }
  log.Write({address, Joined(outlets), kStatusQueryToken,
             readFailure ? LogResult(log_result::kFailed, *readFailure) : LogResult(results.c_str(), firstReason)});
  return failures;
}

}  // namespace qel
