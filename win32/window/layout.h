// The fixed layout of the window "qel": every control with its kind, a text
// field's initial value, position and size in twips, in tab order. The
// captions of labels and buttons are the window's texts (core/window_texts.h).
#pragma once

#include <string>

#include "win32/window/control_ids.h"

namespace qel {

enum class ControlKind { kTextField, kButton, kLabel };

struct ControlSpec {
  int id;
  ControlKind kind;
  const wchar_t* value;  // a text field's, before it is filled from ip.ini; nullptr for the others
  int left, top, width, height;  // twips, within the client area
  bool gothicFont;               // "ＭＳ ゴシック" 9 pt, Shift-JIS
};

inline constexpr int kClientWidthTwips = 4095;
inline constexpr int kClientHeightTwips = 1725;

// In tab order.
inline constexpr ControlSpec kLayout[] = {
    {kIdAddress, ControlKind::kTextField, L"192.168.1.0", 450, 0, 1725, 270, true},
    {kIdSaveAndQuit, ControlKind::kButton, nullptr, 2520, 0, 1575, 255, true},
    {kIdMask + 0, ControlKind::kTextField, L"1", 480, 360, 495, 270, true},
    {kIdOutletLabel + 0, ControlKind::kLabel, nullptr, -45, 375, 495, 255, false},
    {kIdMask + 1, ControlKind::kTextField, L"4", 480, 600, 495, 270, true},
    {kIdOutletLabel + 1, ControlKind::kLabel, nullptr, -45, 615, 495, 255, false},
    {kIdMask + 2, ControlKind::kTextField, L"32", 2520, 360, 495, 270, true},
    {kIdOutletLabel + 2, ControlKind::kLabel, nullptr, 1980, 375, 495, 255, false},
    {kIdMask + 3, ControlKind::kTextField, L"128", 2520, 600, 495, 270, true},
    {kIdOutletLabel + 3, ControlKind::kLabel, nullptr, 1980, 615, 495, 255, false},
    {kIdCommandLine + 0, ControlKind::kTextField, L"", 600, 960, 3495, 270, true},
    {kIdCommandLine + 1, ControlKind::kTextField, L"", 600, 1200, 3495, 270, true},
    {kIdCommandLine + 2, ControlKind::kTextField, L"", 600, 1440, 3495, 270, true},
    {kIdLaunch + 0, ControlKind::kButton, nullptr, 0, 960, 615, 255, false},
    {kIdLaunch + 1, ControlKind::kButton, nullptr, 0, 1200, 615, 255, false},
    {kIdLaunch + 2, ControlKind::kButton, nullptr, 0, 1440, 615, 255, false},
    {kIdAddressLabel, ControlKind::kLabel, nullptr, -15, 60, 375, 255, false},
    {kIdOn + 0, ControlKind::kButton, nullptr, 960, 360, 495, 255, false},
    {kIdOn + 1, ControlKind::kButton, nullptr, 960, 600, 495, 255, false},
    {kIdOn + 2, ControlKind::kButton, nullptr, 3000, 360, 495, 255, false},
    {kIdOn + 3, ControlKind::kButton, nullptr, 3000, 600, 495, 255, false},
    {kIdOff + 0, ControlKind::kButton, nullptr, 1440, 360, 495, 255, false},
    {kIdOff + 1, ControlKind::kButton, nullptr, 1440, 600, 495, 255, false},
    {kIdOff + 2, ControlKind::kButton, nullptr, 3480, 360, 495, 255, false},
    {kIdOff + 3, ControlKind::kButton, nullptr, 3480, 600, 495, 255, false},
};

// Whether the table has the controls of a range, ids `base` to
// `base` + `count` - 1, each once, and no other control of that range.
constexpr bool LayoutHasRange(int base, int count) {
  int inRange = 0;
  for (const ControlSpec& control : kLayout) inRange += control.id >= base && control.id < base + kRangeSize;
  if (inRange != count) return false;
  for (int n = 0; n < count; ++n) {
    int seen = 0;
    for (const ControlSpec& control : kLayout) seen += control.id == base + n;
    if (seen != 1) return false;
  }
  return true;
}
// A row of the table for every outlet and every command line.
static_assert(LayoutHasRange(kIdOutletLabel, kOutletCount) && LayoutHasRange(kIdMask, kOutletCount) &&
                  LayoutHasRange(kIdOn, kOutletCount) && LayoutHasRange(kIdOff, kOutletCount),
              "kLayout needs a label, a mask field, ON and OFF for each of the kOutletCount outlets");
static_assert(LayoutHasRange(kIdCommandLine, kCommandCount) && LayoutHasRange(kIdLaunch, kCommandCount),
              "kLayout needs a command field and a launch button for each of the kCommandCount command lines");

// The text a control of the table shows when it is made: a text field's
// value, a label's or button's caption.
std::wstring InitialText(const ControlSpec& control);

// Twips to pixels at the given DPI: 15 twips a pixel at 96 DPI.
int TwipsToPixels(int twips, int dpi);

}  // namespace qel
