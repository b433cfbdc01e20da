#include "win32/window/outlet_label_painter.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "core/counts.h"
#include "win32/window/callback_edge.h"
#include "win32/window/control_ids.h"
#include "win32/window/dpi.h"

namespace qel {

OutletLabelPainter::~OutletLabelPainter() {
  if (window_ == nullptr || !IsWindow(window_)) return;
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    RemoveWindowSubclass(GetDlgItem(window_, kIdOutletLabel + outlet), &OutletLabelPainter::OutletLabelProc,
                         static_cast<UINT_PTR>(outlet));
  }
}

void OutletLabelPainter::Attach(HWND window, std::function<LabelState(int outlet)> stateOf) {
  window_ = window;
  stateOf_ = std::move(stateOf);
  litBrush_.Reset(CreateSolidBrush(kLitColour));
  litFrameBrush_.Reset(CreateSolidBrush(kLitTextColour));
  // The frames from the first paint on: no label shows a state without its
  // frame, whatever comes first.
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    SetWindowSubclass(GetDlgItem(window_, kIdOutletLabel + outlet), &OutletLabelPainter::OutletLabelProc,
                      static_cast<UINT_PTR>(outlet), reinterpret_cast<DWORD_PTR>(this));
  }
}

LRESULT OutletLabelPainter::Colours(HDC dc, HWND label, bool highContrast) const {
  const int id = GetDlgCtrlID(label);
  const bool outletLabel = id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount;
  const LabelState state = stateOf_(outletLabel ? id - kIdOutletLabel : 0);
  // Only an outlet known to be on is lit: the lit colour says "on".
  const bool lit = outletLabel && state.lit && !state.unknown;
  if (!lit) {
    // The system's pair, which follows a high-contrast theme.
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  if (highContrast) {
    // The theme's own pair for what stands out.
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHT));
  }
  // The lit colour is fixed, so is its text.
  SetBkColor(dc, kLitColour);
  SetTextColor(dc, kLitTextColour);
  return reinterpret_cast<LRESULT>(litBrush_.get());
}

LRESULT CALLBACK OutletLabelPainter::OutletLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam,
                                                     UINT_PTR outlet, DWORD_PTR self) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(label, &OutletLabelPainter::OutletLabelProc, outlet);
  if (message != WM_PAINT && message != WM_PRINTCLIENT) return DefSubclassProc(label, message, wParam, lParam);
  // The label is painted here whole: its colours, its caption inside the
  // frame, its frame.
  const auto* painter = reinterpret_cast<const OutletLabelPainter*>(self);
  PAINTSTRUCT paint = {};
  HDC dc = wParam != 0 ? reinterpret_cast<HDC>(wParam) : BeginPaint(label, &paint);
  StopAtEdge(painter->window_, StoppedIn::kMessage, 0, [&] {
    painter->PaintOutletLabel(label, dc, static_cast<int>(outlet));
    return 0;
  });
  if (wParam == 0) EndPaint(label, &paint);
  return 0;
}

void OutletLabelPainter::PaintOutletLabel(HWND label, HDC dc, int outlet) const {
  const LabelState state = stateOf_(outlet);
  const bool highContrast = HighContrastOn();
  RECT area = {};
  GetClientRect(label, &area);
  const auto background = reinterpret_cast<HBRUSH>(Colours(dc, label, highContrast));
  FillRect(dc, &area, background);
  // Centred at the top, as the label control draws it.
  RECT text = area;
  const int length = GetWindowTextLengthW(label);
  std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
  caption.resize(static_cast<std::size_t>(GetWindowTextW(label, caption.data(), length + 1)));
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  if (state.unknown || state.lit) {
    DrawStateFrame(dc, area, state.unknown ? FrameLine::kDashed : FrameLine::kSolid, highContrast);
  }
}

int OutletLabelPainter::FrameUnit() const { return std::max(1, WindowDpi(window_, ScreenDpi()) / 96); }

void OutletLabelPainter::DrawStateFrame(HDC dc, const RECT& frame, FrameLine line, bool highContrast) const {
  // Along all four edges, in the text's colour (in a high-contrast theme, a
  // lit label's in the theme's text colour, which stands apart from its
  // selection colour). Unknown: dashes of two units and gaps of two, one
  // unit wide. Lit: a solid line two units wide. A unit is a pixel at 96 dpi.
  const int unit = FrameUnit();
  if (line == FrameLine::kSolid) {
    const HBRUSH solid = highContrast ? GetSysColorBrush(COLOR_WINDOWTEXT) : litFrameBrush_.get();
    const int width = 2 * unit;
    const RECT edges[] = {{frame.left, frame.top, frame.right, frame.top + width},
                          {frame.left, frame.bottom - width, frame.right, frame.bottom},
                          {frame.left, frame.top, frame.left + width, frame.bottom},
                          {frame.right - width, frame.top, frame.right, frame.bottom}};
    for (const RECT& edge : edges) FillRect(dc, &edge, solid);
    return;
  }
  const HBRUSH brush = GetSysColorBrush(COLOR_BTNTEXT);
  for (int x = frame.left; x < frame.right; x += 4 * unit) {
    const int end = std::min(x + 2 * unit, static_cast<int>(frame.right));
    const RECT top = {x, frame.top, end, frame.top + unit};
    const RECT bottom = {x, frame.bottom - unit, end, frame.bottom};
    FillRect(dc, &top, brush);
    FillRect(dc, &bottom, brush);
  }
  for (int y = frame.top; y < frame.bottom; y += 4 * unit) {
    const int end = std::min(y + 2 * unit, static_cast<int>(frame.bottom));
    const RECT left = {frame.left, y, frame.left + unit, end};
    const RECT right = {frame.right - unit, y, frame.right, end};
    FillRect(dc, &left, brush);
    FillRect(dc, &right, brush);
  }
}

}  // namespace qel
