#include "core/switch_confirm.h"

#include "core/numbers.h"
#include "core/settings.h"
#include "core/window_texts.h"

namespace qel {

ConfirmSeconds ConfirmSecondsOf(Platform& platform, const std::wstring& value) {
  ConfirmSeconds result;
  if (value.empty()) return result;
  std::wstring digits = platform.FoldFullWidth(value);
  while (!digits.empty() && IsBlank(digits.back())) digits.pop_back();
  digits.erase(0, digits.find_first_not_of(L" \t\u3000"));
  int seconds = 0;
  bool whole = !digits.empty() && digits.size() <= 3;
  for (wchar_t c : digits) {
    whole = whole && c >= L'0' && c <= L'9';
    if (whole) seconds = seconds * 10 + (c - L'0');
  }
  if (!whole || seconds > kLongestConfirmSeconds) {
    result.refused = value;
    return result;
  }
  result.seconds = seconds;
  return result;
}

std::optional<std::wstring> ConfirmSwitch(SwitchLibrary& library, std::int16_t mask, bool on, int seconds) {
  if (seconds <= 0) return std::nullopt;
  const int tries = seconds * (1000 / kConfirmIntervalMilliseconds);
  bool shown = OutletIsOn(NarrowToInt16(library.receivep6()), mask);
  for (int i = 0; i < tries && shown != on; ++i) {
    library.platform().SleepThenPumpEvents(kConfirmIntervalMilliseconds);
    shown = OutletIsOn(NarrowToInt16(library.receivep6()), mask);
  }
  if (shown == on) return std::nullopt;
  return texts::NotConfirmed(shown, static_cast<unsigned>(seconds));
}

}  // namespace qel
