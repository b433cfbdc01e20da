// What a screen reader reads for each control of the window. Each control
// answers WM_GETOBJECT with the system's own accessible object for it,
// wrapped so that it gives the control's own name (AccessibleName) and,
// where the window has one, a text that says more: an outlet label's state
// as its value and description, an ON or OFF button's outlet state as its
// description. The rest (role, state, place, focus, default action) is the
// system's.
//
// An outlet's state that changes (on, off, unknown) is announced where a
// screen reader listens (StateChanged): EVENT_OBJECT_VALUECHANGE and
// EVENT_OBJECT_LIVEREGIONCHANGED on its label, and, when the keyboard focus
// is on that outlet's ON or OFF button or mask field, whose description
// says the state too, EVENT_OBJECT_DESCRIPTIONCHANGE on that control: a
// reader mostly speaks the focused control's changes. The labels are a
// polite live region where the system lets that be said (Dynamic
// Annotation, IAccPropServices); where it does not (Wine), they are not,
// and nothing is said of it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct IAccPropServices;

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
  // now on. `moreAbout` is asked each time a reader asks. The outlet labels
  // become a polite live region. On the window's own thread, with COM
  // initialised there.
  void Attach(HWND window, MoreAbout moreAbout);

  // Outlet `outlet`'s state changed (on, off, unknown): told to listening
  // screen readers, on the label and on the focused control of its row.
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
  // Marks the outlet labels as a polite live region, where the system can.
  void MarkLiveRegion();
  // The label `label` goes: what was said of it is taken back.
  void Unmark(HWND label);

  HWND window_ = nullptr;
  // The system's Dynamic Annotation, while a label is marked with it; held
  // from the set-up on, so that taking the marks back needs no loading.
  IAccPropServices* annotations_ = nullptr;
  int marked_ = 0;  // labels that are yet to take their mark back
  std::shared_ptr<Source> source_;
  std::vector<std::pair<HWND, int>> controls_;  // each subclassed control and its id
};

}  // namespace qel
