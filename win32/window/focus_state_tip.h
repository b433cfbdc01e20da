// An outlet's state in words beside its ON or OFF button for as long as that
// button has the keyboard focus: what the outlet label's tooltip says, for a
// user who tabs to the button and never points at the label. The tip shows
// just below the button and follows the poll while it shows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qel {

class FocusStateTip {
 public:
  // The state text of outlet row `row` (0..3), as the label's tooltip has it.
  using TextOfRow = std::function<const std::wstring&(int row)>;

  FocusStateTip() = default;
  FocusStateTip(const FocusStateTip&) = delete;
  FocusStateTip& operator=(const FocusStateTip&) = delete;
  ~FocusStateTip();

  // Creates the tip, owned by `window` (and gone with it).
  void Create(HWND window, HINSTANCE instance, TextOfRow textOf);
  // Shows the state of outlet row `row` beside `button` whenever the button
  // has the focus, until the focus leaves it.
  void Watch(HWND button, int row);
  // The state text of `row` changed: shown anew if that row's state shows.
  void TextChanged(int row);
  // Keeps the shown tip beside its button when the window has moved or the
  // controls were placed anew.
  void FollowButton();

 private:
  static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                     DWORD_PTR self);
  void Show(HWND button, int row);
  void Hide();
  // Where the tip's top left goes: just below the button, on the screen.
  POINT PlaceFor(HWND button) const;
  void Tool(TTTOOLINFOW& tool) const;

  HWND window_ = nullptr;
  HWND tip_ = nullptr;  // owned by the window: goes with it
  TextOfRow textOf_;
  HWND shownFor_ = nullptr;  // the focused button whose row's state shows, or none
  int shownRow_ = -1;
  POINT shownAt_ = {};
  std::vector<std::pair<HWND, int>> watched_;
};

}  // namespace qel
