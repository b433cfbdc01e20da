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

// In tab order. Where two controls would overlap, the upper or the left one
// ends where the other begins, so that each shows its whole border; no
// label starts left of the client area, where its first letter would be
// cut.
inline constexpr ControlSpec kLayout[] = {
    {kIdAddress, ControlKind::kTextField, L"192.168.1.0", 450, 0, 1725, 270, true},
    {kIdSaveAndQuit, ControlKind::kButton, nullptr, 2520, 0, 1575, 255, true},
    {kIdMask + 0, ControlKind::kTextField, L"1", 480, 360, 480, 240, true},
    {kIdOutletLabel + 0, ControlKind::kLabel, nullptr, 0, 375, 450, 240, false},
    {kIdMask + 1, ControlKind::kTextField, L"4", 480, 600, 480, 270, true},
    {kIdOutletLabel + 1, ControlKind::kLabel, nullptr, 0, 615, 450, 255, false},
    {kIdMask + 2, ControlKind::kTextField, L"32", 2520, 360, 480, 240, true},
    {kIdOutletLabel + 2, ControlKind::kLabel, nullptr, 1980, 375, 495, 240, false},
    {kIdMask + 3, ControlKind::kTextField, L"128", 2520, 600, 480, 270, true},
    {kIdOutletLabel + 3, ControlKind::kLabel, nullptr, 1980, 615, 495, 255, false},
    {kIdCommandLine + 0, ControlKind::kTextField, L"", 600, 960, 3495, 240, true},
    {kIdCommandLine + 1, ControlKind::kTextField, L"", 600, 1200, 3495, 240, true},
    {kIdCommandLine + 2, ControlKind::kTextField, L"", 600, 1440, 3495, 270, true},
    {kIdLaunch + 0, ControlKind::kButton, nullptr, 0, 960, 600, 240, false},
    {kIdLaunch + 1, ControlKind::kButton, nullptr, 0, 1200, 600, 240, false},
    {kIdLaunch + 2, ControlKind::kButton, nullptr, 0, 1440, 600, 255, false},
    {kIdAddressLabel, ControlKind::kLabel, nullptr, 0, 60, 360, 255, false},
    {kIdOn + 0, ControlKind::kButton, nullptr, 960, 360, 480, 240, false},
    {kIdOn + 1, ControlKind::kButton, nullptr, 960, 600, 480, 255, false},
    {kIdOn + 2, ControlKind::kButton, nullptr, 3000, 360, 480, 240, false},
    {kIdOn + 3, ControlKind::kButton, nullptr, 3000, 600, 480, 255, false},
    {kIdOff + 0, ControlKind::kButton, nullptr, 1440, 360, 495, 240, false},
    {kIdOff + 1, ControlKind::kButton, nullptr, 1440, 600, 495, 255, false},
    {kIdOff + 2, ControlKind::kButton, nullptr, 3480, 360, 495, 240, false},
    {kIdOff + 3, ControlKind::kButton, nullptr, 3480, 600, 495, 255, false},
};

// Whether every control lies within the client area and no two overlap. The
// pixels of each edge are rounded from its place in twips, so controls that
// do not overlap in twips do not overlap at any DPI.
constexpr bool ControlsApart() {
  for (const ControlSpec& a : kLayout) {
    if (a.left < 0 || a.top < 0 || a.left + a.width > kClientWidthTwips || a.top + a.height > kClientHeightTwips) {
      return false;
    }
    for (const ControlSpec& b : kLayout) {
      if (&a == &b) continue;
      const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left || a.top + a.height <= b.top ||
                         b.top + b.height <= a.top;
      if (!apart) return false;
    }
  }
  return true;
}
static_assert(ControlsApart(), "kLayout: a control overlaps another or leaves the client area");

// The text field that label `labelId` names (the address field for "IP", an
// outlet's mask field for its label), or 0 for a control that is no such
// label. The label comes just before its field in the window's z-order,
// where screen readers look for a field's name.
constexpr int FieldNamedBy(int labelId) {
  if (labelId == kIdAddressLabel) return kIdAddress;
  if (labelId >= kIdOutletLabel && labelId < kIdOutletLabel + kOutletCount) return kIdMask + labelId - kIdOutletLabel;
  return 0;
}

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

// Twips to pixels at the given DPI: 15 twips a pixel at 96 DPI. A control's
// edges are each converted so (its right edge from left + width), so that
// controls that meet in twips meet in pixels.
int TwipsToPixels(int twips, int dpi);

}  // namespace qel
