#include "win32/window/focus_state_tip.h"

#include <algorithm>

#include "win32/window/callback_edge.h"
#include "win32/window/controls.h"
#include "win32/window/dpi.h"

namespace qel {

FocusStateTip::~FocusStateTip() {
  for (const auto& [button, row] : watched_) {
    if (IsWindow(button)) RemoveWindowSubclass(button, &FocusStateTip::ButtonProc, static_cast<UINT_PTR>(row));
  }
}

void FocusStateTip::Create(HWND window, HINSTANCE instance, TextOfRow textOf) {
  window_ = window;
  textOf_ = std::move(textOf);
  tip_ = CreateTooltips(window, instance);
  // One tool, placed by hand wherever the focused button is.
  TTTOOLINFOW tool = {};
  Tool(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FocusStateTip::Watch(HWND button, int row) {
  if (button == nullptr) return;
  if (SetWindowSubclass(button, &FocusStateTip::ButtonProc, static_cast<UINT_PTR>(row),
                        reinterpret_cast<DWORD_PTR>(this))) {
    watched_.emplace_back(button, row);
  }
  // A button that has the focus already (set up after the window showed).
  if (GetFocus() == button) Show(button, row);
}

void FocusStateTip::StateChanged(int row) {
  if (shownFor_ != nullptr && row == shownRow_) Show(shownFor_, shownRow_);
}

void FocusStateTip::TextChanged(int row) {
  if (shownFor_ == nullptr || row != shownRow_) return;
  if (!IsWindowVisible(tip_)) {
    Show(shownFor_, shownRow_);  // not up yet: it had no text
    return;
  }
  const std::wstring text = textOf_(row);
  if (text.empty()) return;
  TTTOOLINFOW tool = {};
  Tool(tool);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  const int frame = FitToWindowWidth();
  LayOutAgain();
  KeepWithinWindow(text, frame);
  FollowButton();
}

void FocusStateTip::FollowButton() {
  if (shownFor_ == nullptr || !IsWindowVisible(tip_)) return;
  RECT window = {};
  GetWindowRect(window_, &window);
  if (window.right - window.left != fittedToWidth_) {
    Show(shownFor_, shownRow_);  // another DPI: wrapped anew
    return;
  }
  RECT shown = {};
  GetWindowRect(tip_, &shown);
  const POINT at = PlaceFor(shownFor_, {shown.right - shown.left, shown.bottom - shown.top});
  if (at.x == shown.left && at.y == shown.top) return;
  // The tip may stand off the point it tracks by its frame: that offset
  // stays.
  trackedAt_ = {trackedAt_.x + at.x - shown.left, trackedAt_.y + at.y - shown.top};
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(trackedAt_.x, trackedAt_.y));
}

LRESULT CALLBACK FocusStateTip::ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                           DWORD_PTR self) {
  auto* tip = reinterpret_cast<FocusStateTip*>(self);
  StopAtEdge(tip->window_, StoppedIn::kMessage, 0, [&] {
    switch (message) {
      case WM_SETFOCUS:
        tip->Show(button, static_cast<int>(row));
        break;
      case WM_KILLFOCUS:
        if (tip->shownFor_ == button) tip->Hide();
        break;
      case WM_NCDESTROY:
        if (tip->shownFor_ == button) tip->shownFor_ = nullptr;
        RemoveWindowSubclass(button, &FocusStateTip::ButtonProc, row);
        break;
    }
    return 0;
  });
  return DefSubclassProc(button, message, wParam, lParam);
}

void FocusStateTip::Show(HWND button, int row) {
  if (tip_ == nullptr || !textOf_) return;
  TTTOOLINFOW tool = {};
  Tool(tool);
  // Taken down and put up again: an active tip does not always take a new
  // text or size, and one without text shows nothing until it has one.
  SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  const std::wstring text = textOf_(row);  // empty before the first poll
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  shownFor_ = button;
  shownRow_ = row;
  if (text.empty()) return;
  const int frame = FitToWindowWidth();
  // Placed for the size it will have, then, once it shows, for the size it
  // has (with the frame the system gives it).
  trackedAt_ = PlaceFor(button, BubbleSize());
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(trackedAt_.x, trackedAt_.y));
  SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  KeepWithinWindow(text, frame);
  FollowButton();
}

void FocusStateTip::LayOutAgain() {
  // A tracking tip lays itself out afresh, text and size, wherever it is
  // put; put where it is, it stays shown.
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(trackedAt_.x, trackedAt_.y));
}

void FocusStateTip::KeepWithinWindow(const std::wstring& text, int frame) {
  if (frame != 0) return;
  // The system did not tell the tip's frame (Wine's tips do not): it is
  // what the shown tip adds to its wrapped text, which is wrapped again
  // within the window's width if it came out wider.
  RECT shown = {};
  GetWindowRect(tip_, &shown);
  const int wrapped = WrappedWidth(text, fittedToWidth_);
  if (shown.right - shown.left > fittedToWidth_ && wrapped > 0) {
    const int measured = shown.right - shown.left - wrapped;
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, std::max(1, fittedToWidth_ - measured));
    LayOutAgain();
  }
}

void FocusStateTip::Hide() {
  shownFor_ = nullptr;
  shownRow_ = -1;
  if (tip_ == nullptr) return;
  TTTOOLINFOW tool = {};
  Tool(tool);
  SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

SIZE FocusStateTip::BubbleSize() const {
  TTTOOLINFOW tool = {};
  Tool(tool);
  const auto bubble = static_cast<DWORD>(SendMessageW(tip_, TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&tool)));
  // The frame the tip's window adds around the bubble, where the system
  // counts it apart: a border at the DPI of the window's monitor.
  const int border = 2 * SystemMetricAtDpi(SM_CXBORDER, WindowDpi(window_, ScreenDpi()));
  return {LOWORD(bubble) + border, HIWORD(bubble) + border};
}

int FocusStateTip::FitToWindowWidth() {
  RECT window = {};
  GetWindowRect(window_, &window);
  const int most = window.right - window.left;
  fittedToWidth_ = most;
  // The tip's margins and frame, as the system tells them: its window around
  // a text of some width.
  constexpr int kSome = 100;
  RECT around = {0, 0, kSome, 0};
  SendMessageW(tip_, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&around));
  const int frame = std::max(0, static_cast<int>(around.right - around.left) - kSome);
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, std::max(1, most - frame));
  return frame;
}

int FocusStateTip::WrappedWidth(const std::wstring& text, int width) const {
  HDC dc = GetDC(tip_);
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(tip_, WM_GETFONT, 0, 0)));
  RECT wrapped = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXTERNALLEADING);
  SelectObject(dc, oldFont);
  ReleaseDC(tip_, dc);
  return wrapped.right - wrapped.left;
}

POINT FocusStateTip::PlaceFor(HWND button, SIZE size) const {
  RECT window = {}, pressed = {};
  GetWindowRect(window_, &window);
  GetWindowRect(button, &pressed);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
  // A small gap, so that the tip does not touch the window's edge.
  const int gap = 2 * std::max(1, WindowDpi(window_, ScreenDpi()) / 96);
  const auto within = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };

  // Under the button, as far as the window's width allows, on the screen.
  const int x = within(within(pressed.left, window.left, window.right - size.cx), work.left, work.right - size.cx);
  if (window.bottom + gap + size.cy <= work.bottom) return {x, window.bottom + gap};
  if (window.top - gap - size.cy >= work.top) return {x, window.top - gap - size.cy};
  // The window fills the work area's height: beside it, at the button.
  const int y = within(pressed.top, work.top, work.bottom - size.cy);
  if (window.right + gap + size.cx <= work.right) return {window.right + gap, y};
  if (window.left - gap - size.cx >= work.left) return {window.left - gap - size.cx, y};
  // No room clear of the window anywhere: as low on the screen as it goes.
  return {x, work.bottom - size.cy};
}

void FocusStateTip::Tool(TTTOOLINFOW& tool) const {
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = 0;
}

}  // namespace qel
