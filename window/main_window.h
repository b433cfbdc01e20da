// The one window of qel, form "qel".
#pragma once

#include <windows.h>

namespace qel {

class MainWindow {
 public:
  MainWindow() = default;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window hidden; false when the system refuses.
  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
};

}  // namespace qel
