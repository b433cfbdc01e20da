// How the four outlet labels are painted: their colours, their caption, and
// a frame that shows their state without colour.
//
// Every state reads at a contrast of 4.5:1 or more: black on the lit colour,
// the system's button text on its button face otherwise. And each state
// shows without colour too: a lit label has a solid frame along its four
// edges, an unknown one a dashed frame, an unlit one none.
//
// In a high-contrast theme (high_contrast.h) no label keeps a colour of its
// own: a lit label takes the theme's selection colours (COLOR_HIGHLIGHT,
// COLOR_HIGHLIGHTTEXT) and its solid frame the theme's text colour
// (COLOR_WINDOWTEXT); the others are as ever in the theme's button colours.
// The theme is asked at each paint, so a window painted anew when the theme
// changes shows the new one.
#pragma once

#include <windows.h>

#include <functional>

#include "win32/owned_handle.h"
#include "win32/window/high_contrast.h"

namespace qel {

// Lit outlet labels: red 255, green 192, blue 192, with black text on it
// (13.6:1).
inline constexpr COLORREF kLitColour = 0x00C0C0FF;
inline constexpr COLORREF kLitTextColour = 0x00000000;

// What an outlet label shows of its outlet's state.
struct LabelState {
  bool lit = false;
  bool unknown = true;
};

class OutletLabelPainter {
 public:
  OutletLabelPainter() = default;
  ~OutletLabelPainter();  // a window that outlives the painter paints its labels plainly
  OutletLabelPainter(const OutletLabelPainter&) = delete;
  OutletLabelPainter& operator=(const OutletLabelPainter&) = delete;

  // Paints the outlet labels of `window` from their first paint on, each
  // as `stateOf(outlet)` says.
  void Attach(HWND window, std::function<LabelState(int outlet)> stateOf);

  // The colours of a label (WM_CTLCOLORSTATIC): black on the lit colour for
  // an outlet that is on (in a high-contrast theme, its selection colours),
  // button text on button face otherwise. An outlet whose state is unknown
  // is not lit (the lit colour says "on"); its label has a dashed frame
  // instead, where a lit one has a solid frame.
  LRESULT LabelColours(HDC dc, HWND label) const { return Colours(dc, label, HighContrastOn()); }

 private:
  LRESULT Colours(HDC dc, HWND label, bool highContrast) const;
  // Paints an outlet label: its colours, its caption, and its frame, solid
  // when the outlet is on, dashed when its state is unknown.
  static LRESULT CALLBACK OutletLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR outlet,
                                          DWORD_PTR self);
  void PaintOutletLabel(HWND label, HDC dc, int outlet) const;
  // The frame's unit: a pixel at 96 dpi.
  int FrameUnit() const;
  enum class FrameLine { kSolid, kDashed };
  void DrawStateFrame(HDC dc, const RECT& frame, FrameLine line, bool highContrast) const;

  HWND window_ = nullptr;
  std::function<LabelState(int outlet)> stateOf_;
  OwnedBrush litBrush_;
  OwnedBrush litFrameBrush_;  // the lit label's frame, in its text's colour
};

}  // namespace qel
