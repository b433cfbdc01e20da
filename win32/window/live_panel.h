// The window's live behaviour: the status poll that colours the outlet
// labels, the ON and OFF buttons and the launch buttons. It works on the
// controls of the window it is attached to.
//
// Each step that can fail (reading the status word, reading a mask field,
// switching) returns its failure as a value; the poll shows a failure in the
// labels (grey text and a tooltip with the reason, no message box, since it
// runs again and again), ON and OFF in one message box.
//
// Each outlet label's tooltip says its state in words, "オン", "オフ" or
// "状態不明: " and the reason, and names the saved address whose switch
// the labels show.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/switch_library.h"
#include "win32/owned_handle.h"
#include "win32/window/control_ids.h"

namespace qel {

// The status poll runs every kPollMilliseconds, on the window's timer
// kPollTimer.
inline constexpr unsigned kPollTimer = 1;
inline constexpr unsigned kPollMilliseconds = 500;

// Lit outlet labels: red 255, green 192, blue 192.
inline constexpr COLORREF kLitColour = 0x00C0C0FF;

class LivePanel {
 public:
  explicit LivePanel(SwitchLibrary& library) : library_(library) {}
  LivePanel(const LivePanel&) = delete;
  LivePanel& operator=(const LivePanel&) = delete;

  // Binds the panel to the window whose controls it drives.
  void Attach(HWND window);
  // The outlet labels' tooltips: the state in words and the saved address.
  void CreateLabelTips(HINSTANCE instance);

  // The status poll: reads the status word from the switch whose address is
  // saved in ip.ini and colours every outlet label whose mask on screen has
  // a bit set in it. While ip.ini holds no address it asks no switch and
  // shows every outlet as unknown.
  void PollStatus();
  // ON (on = true) or OFF of outlet row `outlet` (0..3), with the address
  // and the mask on screen.
  void SwitchFromScreen(int outlet, bool on);
  // Starts the command line in field `command` (0..2) as it stands.
  void Launch(int command);

  // The colours of a label (WM_CTLCOLORSTATIC): lit or button face, and
  // grey text for an outlet whose state the last poll could not establish.
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

  // The status word of the switch at the address saved in ip.ini, which is
  // left in `address` once it could be read. No switch is asked when that
  // address is empty.
  Reading<std::int16_t> ReadSavedSwitchStatus(std::optional<std::wstring>& address);
  // The mask field of `outlet`, strictly converted, rounded down and
  // narrowed by `narrow` (32 bits for the poll, 16 for ON and OFF).
  template <typename Int>
  Reading<Int> ReadMask(int outlet, Int (*narrow)(double)) const;

  void ShowRow(int outlet, const RowLook& look);
  // Outlets `first` to the last keep their colour and are shown as unknown,
  // with `tip`.
  void ShowUnknownFrom(int first, const std::wstring& tip);

  SwitchLibrary& library_;
  HWND window_ = nullptr;
  HWND labelTips_ = nullptr;  // a child of the window: goes with it
  OwnedBrush litBrush_;
  std::array<RowLook, kOutletCount> rows_{};
};

}  // namespace qel
