// The probe: a small library that the window tests hook into qel's GUI
// thread (SetWindowsHookEx, WH_CALLWNDPROC) to look at things that only
// qel's own process can see. Neither Windows nor Wine hands them across
// processes: Wine 8 does not pass WM_GETFONT to another process at all
// ("pack_message ... not supported"), on Windows the HFONT it returns means
// nothing outside its process, and a tooltip's text is read into a buffer of
// the asking process.
//
// The test sends one of the registered messages below to qel's window with
// wParam = the test's process id and lParam = a control id; the hook answers
// in (or, for kEnvironmentMessage, reads its request from) the named shared
// memory kExchangePrefix + that process id, which holds an Exchange.
// Dropping a file: no other process can hand a drop target a data object
// without the mouse.
#pragma once

#include <windows.h>

namespace qel_probe {

// The font of the control: a FontReport.
inline constexpr wchar_t kFontMessage[] = L"qel-window-tests-probe-font";
// The text of the tooltip that qel's window shows for the control: a TipReport.
inline constexpr wchar_t kTipMessage[] = L"qel-window-tests-probe-tip";
// Sets (or removes) an environment variable of qel's process, as asked in an
// EnvironmentRequest; lParam is not used.
inline constexpr wchar_t kEnvironmentMessage[] = L"qel-window-tests-probe-environment";

// Tooltips of qel's window shown and taken down: lParam 1 starts counting
// afresh, 0 reports the counts so far (a ShowReport). Each time the system
// makes one visible or hidden counts, however briefly.
inline constexpr wchar_t kTipShowsMessage[] = L"qel-window-tests-probe-tip-shows";
// A high-contrast theme in qel's process, as asked in a ThemeRequest, for a
// system that cannot be switched to one: Wine 8 answers SPI_GETHIGHCONTRAST
// with "off" always and refuses SPI_SETHIGHCONTRAST, and the system colours
// another process sets (SetSysColors) do not reach qel's. lParam is not
// used.
inline constexpr wchar_t kThemeMessage[] = L"qel-window-tests-probe-theme";

// Drops a file list holding the path of a DropRequest onto the control,
// through the drop target the window registered for it (as a drag from
// Explorer hands it over: DragEnter, then Drop).
inline constexpr wchar_t kDropMessage[] = L"qel-window-tests-probe-drop";

inline constexpr wchar_t kExchangePrefix[] = L"Local\\qel-window-tests-probe-";
// The hook procedure's export (linked without stdcall decoration).
inline constexpr char kHookName[] = "ProbeHook";

struct FontReport {
  LONG answered;    // 1 once the hook has filled this in
  LONG hasFont;     // WM_GETFONT gave a font (0: the system font)
  LONG objectSize;  // what GetObjectW returned for it
  LOGFONTW font;
};

// INFOTIPSIZE: the longest tip text a tooltip control hands out.
inline constexpr int kTipTextSize = 1024;

struct TipReport {
  LONG answered;  // 1 once the hook has filled this in
  LONG found;     // a tooltip of qel's window has a tool for the control
  wchar_t text[kTipTextSize];
};

struct EnvironmentRequest {
  LONG answered;  // 1 once the hook has done it
  LONG remove;    // 1: remove the variable; 0: set it to value
  wchar_t name[64];
  wchar_t value[512];
  LONG done;  // what SetEnvironmentVariableW returned
};

struct DropRequest {
  LONG answered;    // 1 once the hook has done it
  LONG registered;  // the control has a drop target
  DWORD effect;     // what Drop said it did
  wchar_t path[MAX_PATH];
};

struct ShowReport {
  LONG answered;  // 1 once the hook has filled this in
  LONG shows;
  LONG hides;
};

inline constexpr int kMostColours = 16;

struct ThemeRequest {
  LONG answered;  // 1 once the hook has done it
  // 1: SPI_GETHIGHCONTRAST answers "on" (HCF_HIGHCONTRASTON) from now on;
  // 0: as the system answers.
  LONG highContrast;
  // Colours to set (SetSysColors in qel's process), 0 for none; -1 puts back
  // every colour set before as it was.
  LONG count;
  INT elements[kMostColours];
  COLORREF colours[kMostColours];
  // Answers: the import slots of qel.exe that call the system's
  // SystemParametersInfoW and now call the probe's, which answers
  // SPI_GETHIGHCONTRAST itself and hands every other question on; and
  // whether the colours were set (or put back, each reading as it was).
  LONG slots;
  LONG coloursDone;
};

union Exchange {
  FontReport font;
  TipReport tip;
  EnvironmentRequest environment;
  DropRequest drop;
  ShowReport shows;
  ThemeRequest theme;
};

}  // namespace qel_probe
