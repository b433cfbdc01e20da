// The fixed layout of the window "qel": every control with its kind, initial
// text, position and size in twips, in tab order.
#pragma once

namespace qel {

enum class ControlKind { kTextField, kButton, kLabel };

struct ControlSpec {
  int id;
  ControlKind kind;
  const wchar_t* text;
  int left, top, width, height;  // twips, within the client area
  bool gothicFont;               // "ＭＳ ゴシック" 9 pt, Shift-JIS
};

inline constexpr int kClientWidthTwips = 4095;
inline constexpr int kClientHeightTwips = 1725;

// In tab order.
extern const ControlSpec kLayout[25];

// Twips to pixels at the given DPI: 15 twips a pixel at 96 DPI.
int TwipsToPixels(int twips, int dpi);

}  // namespace qel
