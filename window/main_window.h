// The one window of qel, form "qel": the fixed layout, filling the fields
// from ip.ini (SetIpDlg), save and quit, and closing.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "outlets/switch_library.h"
#include "platform/errors.h"

namespace qel {

// Lit outlet labels: red 255, green 192, blue 192.
inline constexpr COLORREF kLitColour = 0x00C0C0FF;
inline constexpr UINT kMsgFinishSetUp = WM_APP + 1;

// An owned GDI font; deleted with its owner, never copied.
class Font {
 public:
  Font() = default;
  ~Font() { Reset(nullptr); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  void Reset(HFONT font) {
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
  }
  HFONT get() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

class MainWindow {
 public:
  explicit MainWindow(SwitchLibrary& library) : library_(library) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden. False when it cannot.
  bool Create(HINSTANCE instance);

  // Selects the switch once, fills every field from ip.ini and starts the
  // 500 ms poll timer.
  void SetIpDlg();

  // Shows the window with the focus in the address field and runs the event
  // loop until the window is closed; returns the process's exit code.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(HINSTANCE instance);
  void FinishSetUp();  // the labels' tooltips and the file drop
  void CreateLabelTips(HINSTANCE instance);
  void OnCommand(int id, int notification);
  void SaveAndQuit();

  // The live panel: the status poll, ON and OFF, the launch buttons.
  void GetIpDlg();
  void SwitchRow(int row, bool on);
  void Launch(int index);
  LRESULT LabelColours(HDC dc, HWND label);

  // What a row's label shows: lit or not, and whether the last poll could
  // establish the row's state (with the reason when it could not).
  struct RowState {
    bool lit = false;
    bool unknown = false;
    std::wstring reason;
  };
  void ShowRow(int row, const RowState& state);

  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);

  SwitchLibrary& library_;
  HWND hwnd_ = nullptr;
  HWND lastFocus_ = nullptr;  // restored when the window is activated again
  int dpi_ = 96;
  Font gothicFont_;
  Font defaultFont_;
  HBRUSH litBrush_ = nullptr;
  HWND labelTips_ = nullptr;
  std::array<RowState, 4> rows_{};
};

}  // namespace qel
