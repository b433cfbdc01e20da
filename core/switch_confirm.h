// A script's switch is confirmed: after transfer the status word is read
// again at once, then every kConfirmIntervalMilliseconds, until the outlet's
// mask shows the state asked for (on: a bit of the mask set, off: none, as
// the window's labels read it), for up to the seconds CONFIRM in [Qelmark]
// gives (kDefaultConfirmSeconds without it; 0: no check). A switch that
// staggers its outlets on purpose gets a longer time. Only reads are added,
// never a switch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/switch_library.h"

namespace qel {

inline constexpr wchar_t kConfirmKey[] = L"CONFIRM";
inline constexpr int kDefaultConfirmSeconds = 10;
inline constexpr int kLongestConfirmSeconds = 600;
inline constexpr int kConfirmIntervalMilliseconds = 500;

// Whether the status word shows an outlet of that mask on.
inline bool OutletIsOn(std::int32_t word, std::int32_t mask) { return (word & mask) != 0; }

struct ConfirmSeconds {
  int seconds = kDefaultConfirmSeconds;
  // A value that is not a whole number from 0 to kLongestConfirmSeconds:
  // as it is written (the default is used instead).
  std::optional<std::wstring> refused;
};
// CONFIRM's value: blanks around it and full-width digits allowed.
ConfirmSeconds ConfirmSecondsOf(Platform& platform, const std::wstring& value);

// Reads the status word until the outlet of `mask` shows `on`, for up to
// `seconds` (at once, then every half second; a read that fails raises, a
// read that hangs is the watchdog's). Nothing when it did; else why not, in
// words ("切替を確認できず: オフのまま (10 秒)").
std::optional<std::wstring> ConfirmSwitch(SwitchLibrary& library, std::int16_t mask, bool on, int seconds);

}  // namespace qel
