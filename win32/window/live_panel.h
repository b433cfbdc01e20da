// The window's live behaviour: the status poll that colours the outlet
// labels, the ON and OFF buttons and the launch buttons. It works on the
// controls of the window it is attached to.
//
// Each step that can fail (reading the status word, reading a mask field,
// switching) returns its failure as a value; the poll shows a failure in the
// labels (a dashed frame and a tooltip with the reason, no message box,
// since it runs again and again), ON and OFF in one message box.
//
// The switch library is called from a thread of its own (library_thread.h),
// one call at a time, at the pace of core/poll_pace.h: the window never
// waits for the switch. Until the first answer every label is unknown,
// the reply awaited; a call pending for a second or more is said in the
// tooltips; one pending for kCallLimitSeconds makes every label unknown
// ("スイッチが応答しない") until an answer comes. ON or OFF pressed while a
// poll is pending is carried out right after it (one at most); pressed
// while a switch is pending or one already waits, it says so
// (texts::kSwitchBusy) and does nothing. One that waited behind a call that
// did not answer within the limit is not carried out, and says so.
//
// Each outlet label's tooltip says its state in words, "オン", "オフ" or
// "状態不明: " and the reason, and names the saved address whose switch
// the labels show. The same text, after the outlet's name, shows beside the
// outlet's ON or OFF button while that button has the keyboard focus
// (focus_state_tip.h), and a screen reader reads it as the label's value
// (accessible_names.h), told of each change.
//
// Every state reads at a contrast of 4.5:1 or more: black on the lit colour,
// the system's button text on its button face otherwise. And each state
// shows without colour too: a lit label has a solid frame along its four
// edges, an unknown one a dashed frame, an unlit one none.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/poll_pace.h"
#include "core/switch_library.h"
#include "win32/owned_handle.h"
#include "win32/window/accessible_names.h"
#include "win32/window/control_ids.h"
#include "win32/window/focus_state_tip.h"
#include "core/switch_log.h"
#include "win32/window/library_thread.h"

namespace qel {

// The window's timer kPollTimer looks every kPollMilliseconds
// (core/poll_pace.h) whether a poll is due, and keeps the labels' words on
// a pending call up to date.
inline constexpr unsigned kPollTimer = 1;

// Lit outlet labels: red 255, green 192, blue 192, with black text on it
// (13.6:1).
inline constexpr COLORREF kLitColour = 0x00C0C0FF;
inline constexpr COLORREF kLitTextColour = 0x00000000;

class LivePanel {
 public:
  explicit LivePanel(SwitchLibrary& library);
  ~LivePanel();  // a window that outlives the panel paints its labels plainly
  LivePanel(const LivePanel&) = delete;
  LivePanel& operator=(const LivePanel&) = delete;

  // Binds the panel to the window whose controls it drives, starts the
  // thread that calls the library, and frames the labels from their first
  // paint on (solid for an outlet that is on, dashed for one whose state
  // is unknown).
  void Attach(HWND window);
  // What the panel sets up once the window shows: the outlet labels'
  // tooltips (the state in words and the saved address) and the same text
  // beside a focused ON or OFF button.
  void FinishSetUp(HINSTANCE instance);
  // The window moved or its controls were placed anew: a state tip shown
  // beside a focused button goes with the button.
  void ControlsMoved() { focusTip_.FollowButton(); }

  // Selects the switch at `address` once, as the window does at start.
  void Select(const std::wstring& address);
  // The status poll, when one is due: the thread reads the status word from
  // the switch whose address is saved in ip.ini, and its answer colours
  // every outlet label whose mask on screen has a bit set in it. While
  // ip.ini holds no address no switch is asked and every outlet shows as
  // unknown. Then the labels' words on a pending call follow the time.
  void PollIfDue();
  // An answer of the thread (kMsgLibraryAnswer's lParam).
  void TakeAnswer(LPARAM answer);
  // A poll stopped by a failure it did not expect: every outlet unknown,
  // with `tip` as the reason.
  void ShowStatusStopped(const std::wstring& tip) { ShowUnknownFrom(0, tip); }
  // ON (on = true) or OFF of outlet row `outlet` (0..3), with the address
  // and the mask on screen as they are when pressed.
  void SwitchFromScreen(int outlet, bool on);
  // Starts the command line in field `command` (0..2) as it stands.
  void Launch(int command);

  // The colours of a label (WM_CTLCOLORSTATIC): black on the lit colour for
  // an outlet that is on, button text on button face otherwise. An outlet
  // whose state the last poll could not establish is not lit (the lit
  // colour says "on"); its label has a dashed frame instead, where a lit
  // one has a solid frame.
  LRESULT LabelColours(HDC dc, HWND label) const;

 private:
  // What an outlet label shows. Only what changed is shown anew.
  struct RowLook {
    bool lit = false;
    bool unknown = true;  // until the first poll no label claims a state
    std::wstring tip;  // empty until the first poll
    bool operator==(const RowLook& other) const {
      return lit == other.lit && unknown == other.unknown && tip == other.tip;
    }
  };

  // A value, or the kind of error that kept it from being had.
  template <typename T>
  struct Reading {
    T value{};
    std::optional<ErrorKind> failure;
  };

  // Hands a call to the thread, as the pending one.
  void Ask(std::unique_ptr<LibraryCall> call);
  // The rows as a poll's answer tells them.
  void ShowPoll(const LibraryCall& poll);
  // Each row as the last answer showed it, with the words on a pending call
  // or on the next poll's wait.
  void ShowRows();
  // The mask field of `outlet`, strictly converted, rounded down and
  // narrowed by `narrow` (32 bits for the poll, 16 for ON and OFF).
  template <typename Int>
  Reading<Int> ReadMask(int outlet, Int (*narrow)(double)) const;

  void ShowRow(int outlet, const RowLook& look);
  // What a screen reader hears about control `id` besides its name: an
  // outlet label's state, an ON or OFF button's outlet with its state, as
  // the tooltips say them. Empty for the other controls.
  std::wstring MoreAbout(int id) const;
  // Outlets `first` to the last are taken as unknown, with `tip`, and shown.
  void ShowUnknownFrom(int first, const std::wstring& tip);

  // Paints an outlet label: its colours, its caption, and its frame, solid
  // when the outlet is on, dashed when its state is unknown.
  static LRESULT CALLBACK OutletLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR outlet,
                                          DWORD_PTR self);
  void PaintOutletLabel(HWND label, HDC dc, int outlet) const;
  // The frame's unit: a pixel at 96 dpi.
  int FrameUnit() const;
  enum class FrameLine { kSolid, kDashed };
  void DrawStateFrame(HDC dc, const RECT& frame, FrameLine line) const;

  SwitchLibrary& library_;
  HWND window_ = nullptr;
  HWND labelTips_ = nullptr;  // a child of the window: goes with it
  OwnedBrush litBrush_;
  OwnedBrush litFrameBrush_;  // the lit label's frame, in its text's colour
  std::array<RowLook, kOutletCount> rows_{};  // as shown
  // As the last answer showed them: until the first, unknown, the reply
  // awaited.
  std::array<RowLook, kOutletCount> answered_{};
  FocusStateTip focusTip_;
  AccessibleNames accessible_;
  LibraryThread thread_;
  PollPace pace_;
  bool pendingSwitch_ = false;  // the pending call is ON's or OFF's
  std::unique_ptr<LibraryCall> queued_;  // ON or OFF after the pending call
  // The switch log (LOG in ip.ini): each ON and OFF, and each launch.
  SwitchLog log_;
  bool pendingSwitchLogged_ = false;  // its "no answer" is logged already
};

}  // namespace qel
