// The one window of qel, form "qel": the fixed layout, filling the fields
// from ip.ini, save and quit, and closing. The outlet labels, ON and OFF and
// the launch buttons are the live panel's (live_panel.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/switch_library.h"
#include "win32/owned_handle.h"
#include "win32/scoped_ole.h"
#include "win32/window/callback_edge.h"
#include "win32/window/live_panel.h"
#include "win32/window/window_messages.h"

namespace qel {

class MainWindow {
 public:
  // `notify` tells the window that the library's thread has an answer
  // (LibraryThread::Notify).
  explicit MainWindow(SwitchLibrary& library, LibraryThread::Notify notify = &PostMessageW)
      : library_(library), panel_(library, notify) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden; null when it cannot.
  HWND Create(HINSTANCE instance);

  // Has the switch selected once, fills every field from ip.ini and starts
  // the status poll.
  void FillFromSettings();

  // Shows the window with the focus in the address field and runs the event
  // loop until the window is closed (or saved and quit) or gone; returns the
  // process's exit code. The window may still be there: the caller ends the
  // process.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FinishSetUp();  // the live panel's tooltips and frames, and the file drop
  // Per monitor DPI: the window moved to a monitor of `dpi` takes the
  // rectangle the system suggests, and lays out its controls and fonts again
  // from the layout table at that DPI.
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnCommand(int id, int notification);
  // A failure that a callback stopped at its edge (callback_edge.h): in the
  // labels for the poll, else in a message box, one at a time.
  void SayStopped(texts::Unexpected failure, StoppedIn where);
  void OnDestroy();
  // Writes the fields the user changed (and those ip.ini lacks) into ip.ini,
  // all or nothing, and ends; shows why and stays when it cannot.
  void SaveAndQuit();
  // Ends the window once an ON or OFF pending or waiting is carried out
  // (LivePanel::CloseAfterSwitch), showing that it waits.
  void Close();

  SwitchLibrary& library_;
  LivePanel panel_;
  HWND hwnd_ = nullptr;
  HWND lastFocus_ = nullptr;  // restored when the window is activated again
  bool sayingStopped_ = false;  // a stopped failure's message box is up
  bool closing_ = false;
  OwnedFont gothicFont_;
  OwnedFont messageFont_;
  std::optional<ScopedOle> ole_;  // for the file drop, once the window is up
  // What ip.ini gave each saved field when the window was filled, in the
  // order of the fields; empty until then.
  std::vector<std::wstring> filled_;
};

}  // namespace qel
