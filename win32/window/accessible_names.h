// What a screen reader reads for each control of the window. Each control
// answers WM_GETOBJECT with the system's own accessible object for it,
// wrapped so that it gives the control's own name (AccessibleName) and,
// where the window has one, a text that says more: an outlet label's state
// as its value and description, an ON or OFF button's outlet state as its
// description. The rest (role, state, place, focus, default action) is the
// system's.
//
// An outlet's state that changes is announced with EVENT_OBJECT_VALUECHANGE
// on its label (StateChanged), for a screen reader that is listening.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qel {

// The name of control `id` of the layout table: "IP" for the address field
// and its label, "Sw1".."Sw4" for each outlet's mask field and label,
// "CMD1".."CMD3" for each command field and launch button, "Sw1 ON",
// "Sw1 OFF" … for the switching buttons, "保存＆終了" for save and quit.
// Empty for an id of no control.
std::wstring AccessibleName(int id);

class AccessibleNames {
 public:
  // The text that says more about control `id` (its value for an outlet
  // label, its description), or empty where there is none.
  using MoreAbout = std::function<std::wstring(int id)>;

  AccessibleNames() = default;
  AccessibleNames(const AccessibleNames&) = delete;
  AccessibleNames& operator=(const AccessibleNames&) = delete;
  ~AccessibleNames();

  // Every control of the layout table in `window` answers for itself from
  // now on. `moreAbout` is asked each time a reader asks.
  void Attach(HWND window, MoreAbout moreAbout);

  // Outlet `outlet`'s state changed (on, off, unknown): told to listening
  // screen readers.
  static void StateChanged(HWND window, int outlet);

  // Where the objects handed to readers get the window's texts: cleared when
  // this goes, since a reader may hold an object longer.
  struct Source {
    MoreAbout moreAbout;
  };

 private:
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
  LRESULT Answer(HWND control, int id, WPARAM wParam);

  HWND window_ = nullptr;
  std::shared_ptr<Source> source_;
  std::vector<std::pair<HWND, int>> controls_;  // each subclassed control and its id
};

}  // namespace qel
