#include "win32/window/focus_state_tip.h"

#include "win32/window/callback_edge.h"
#include "win32/window/controls.h"

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

void FocusStateTip::TextChanged(int row) {
  if (shownFor_ != nullptr && row == shownRow_) Show(shownFor_, shownRow_);
}

void FocusStateTip::FollowButton() {
  if (shownFor_ == nullptr) return;
  const POINT at = PlaceFor(shownFor_);
  if (at.x == shownAt_.x && at.y == shownAt_.y) return;
  shownAt_ = at;
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
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
  const std::wstring& text = textOf_(row);  // empty before the first poll
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  shownFor_ = button;
  shownRow_ = row;
  shownAt_ = PlaceFor(button);
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(shownAt_.x, shownAt_.y));
  if (!text.empty()) SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void FocusStateTip::Hide() {
  shownFor_ = nullptr;
  shownRow_ = -1;
  if (tip_ == nullptr) return;
  TTTOOLINFOW tool = {};
  Tool(tool);
  SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

POINT FocusStateTip::PlaceFor(HWND button) const {
  RECT rect = {};
  GetWindowRect(button, &rect);
  // A small gap, so that the tip does not hide the button's edge.
  return {rect.left, rect.bottom + 2};
}

void FocusStateTip::Tool(TTTOOLINFOW& tool) const {
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = 0;
}

}  // namespace qel
