// An outlet's state in words for as long as its ON or OFF button has the
// keyboard focus: what the outlet label's tooltip says, for a user who tabs
// to the button and never points at the label. It follows the poll while it
// shows.
//
// It is shown (and so read out by a screen reader that reads tooltips) when
// the focus arrives and when the outlet's state changes; its other words,
// such as the seconds a call has been pending, change in place, without
// taking it down and putting it up again.
//
// The tip covers none of the window's controls: it shows just below the
// window, its left edge under the button's (as far as the window's width
// allows), wrapped to at most the window's width; where the screen's work
// area has no room below the window, above it; where it has none above
// either, beside the window at the button's height.
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
  // The state text of outlet row `row` (0..3): the label's tooltip after
  // the outlet's name; empty before the first poll.
  using TextOfRow = std::function<std::wstring(int row)>;

  FocusStateTip() = default;
  FocusStateTip(const FocusStateTip&) = delete;
  FocusStateTip& operator=(const FocusStateTip&) = delete;
  ~FocusStateTip();

  // Creates the tip, owned by `window` (and gone with it).
  void Create(HWND window, HINSTANCE instance, TextOfRow textOf);
  // Shows the state of outlet row `row` beside `button` whenever the button
  // has the focus, until the focus leaves it.
  void Watch(HWND button, int row);
  // The state of outlet row `row` changed (on, off, unknown): shown anew if
  // that row's state shows.
  void StateChanged(int row);
  // Other words of `row`'s text changed: the shown tip takes them in place.
  void TextChanged(int row);
  // Keeps the shown tip by the window and its button when the window has
  // moved or the controls were placed anew (at another DPI: wrapped anew).
  void FollowButton();

 private:
  static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                     DWORD_PTR self);
  void Show(HWND button, int row);
  void Hide();
  // Has the shown tip lay out its text again where it stands (with the text
  // it was handed last), without hiding it.
  void LayOutAgain();
  // Where the system did not tell the tip's frame (`frame` 0): a shown tip
  // wider than the window is wrapped again within it, by the frame it shows
  // with.
  void KeepWithinWindow(const std::wstring& text, int frame);
  // Wraps the text at a width that keeps the tip within the window's width,
  // by the margins and frame the system tells for the tip (TTM_ADJUSTRECT);
  // returns their width, 0 where the system does not tell them.
  int FitToWindowWidth();
  // The width of `text` wrapped as the tip wraps it within `width`.
  int WrappedWidth(const std::wstring& text, int width) const;
  // The tip's size as it would show with its text now.
  SIZE BubbleSize() const;
  // Where a tip of `size` goes for `button`: its top left on the screen.
  POINT PlaceFor(HWND button, SIZE size) const;
  void Tool(TTTOOLINFOW& tool) const;

  HWND window_ = nullptr;
  HWND tip_ = nullptr;  // owned by the window: goes with it
  TextOfRow textOf_;
  HWND shownFor_ = nullptr;  // the focused button whose row's state shows, or none
  int shownRow_ = -1;
  POINT trackedAt_ = {};  // the point last handed to the tip
  int fittedToWidth_ = 0;  // the window's width the text was wrapped for
  std::vector<std::pair<HWND, int>> watched_;
};

}  // namespace qel
