// Times a window program's start-up, inside Wine (without Wine's own start):
//
//   timewindow.exe [--hold] [--lit TEXT] PROGRAM CLASS
//
// Notes QueryPerformanceCounter, starts PROGRAM (no arguments) with
// CreateProcessW, and checks every millisecond until a window of class CLASS
// belonging to that process is visible. Prints the time in milliseconds and
// the Windows process id ("<ms> <pid>", one line). With --lit it then goes
// on checking every millisecond until the window's child control whose text
// is TEXT (a label, "Sw1") shows the lit colour of qel's outlet labels (red
// 255, green 192, blue 192) on the screen, near its right edge, and prints
// that time too, on the same line ("<ms> <pid> <lit ms>"). Then it closes
// the window with WM_CLOSE and waits up to 10 s for the process to end (it is
// terminated otherwise). With --hold it waits between the two for its
// standard input to reach its end (or a line), so a caller can watch the
// running window for as long as it likes.
//
// Exit code: 0 when the window showed and the program ended after WM_CLOSE;
// 2 for wrong usage, 3 when the program could not start, 4 when it ended
// before showing the window, 5 when no window showed within 60 s, 6 when it
// had to be terminated, 7 when the control was not lit within 60 s.
#include <windows.h>

#include <cstdio>
#include <string>

#include "win32/owned_handle.h"

namespace {

// A visible top-level window of the class, owned by the process.
HWND VisibleWindow(DWORD processId, const wchar_t* className) {
  HWND hwnd = nullptr;
  while ((hwnd = FindWindowExW(nullptr, hwnd, className, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == processId && IsWindowVisible(hwnd)) return hwnd;
  }
  return nullptr;
}

// Whether the control shows the lit colour a few pixels inside its right
// edge, half way down, as the screen shows it.
bool ShowsLit(HWND control) {
  RECT rect = {};
  if (!GetWindowRect(control, &rect)) return false;
  HDC screen = GetDC(nullptr);
  const COLORREF pixel = GetPixel(screen, rect.right - 3, (rect.top + rect.bottom) / 2);
  ReleaseDC(nullptr, screen);
  return pixel == RGB(255, 192, 192);
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Returns at the end of standard input or at its first line.
void WaitForInput() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char c;
  DWORD read = 0;
  while (ReadFile(input, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  bool hold = false;
  const wchar_t* litText = nullptr;  // not asked
  for (;;) {
    if (argc > first && lstrcmpW(argv[first], L"--hold") == 0) {
      hold = true;
      first += 1;
    } else if (argc > first + 1 && lstrcmpW(argv[first], L"--lit") == 0) {
      litText = argv[first + 1];
      first += 2;
    } else {
      break;
    }
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: timewindow.exe [--hold] [--lit TEXT] PROGRAM CLASS\n");
    return 2;
  }
  wchar_t path[MAX_PATH];
  if (GetFullPathNameW(argv[first], MAX_PATH, path, nullptr) == 0) return 3;
  const wchar_t* className = argv[first + 1];
  std::wstring commandLine = L"\"" + std::wstring(path) + L"\"";

  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION information = {};
  if (!CreateProcessW(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &information)) {
    std::fprintf(stderr, "timewindow: cannot start %ls: error %lu\n", path, GetLastError());
    return 3;
  }
  qel::OwnedProcess started;
  started.Take(information);
  const HANDLE process = started.process.get();
  const DWORD processId = information.dwProcessId;

  HWND hwnd = nullptr;
  for (;;) {
    hwnd = VisibleWindow(processId, className);
    QueryPerformanceCounter(&now);
    if (hwnd != nullptr) break;
    if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "timewindow: %ls ended before showing a window of class %ls\n", path, className);
      return 4;
    }
    if (now.QuadPart - start.QuadPart > 60 * frequency.QuadPart) {
      std::fprintf(stderr, "timewindow: no window of class %ls within 60 s\n", className);
      TerminateProcess(process, 1);
      return 5;
    }
  }
  std::printf("%.3f %lu", Milliseconds(start, now, frequency), processId);
  int result = 0;
  if (litText != nullptr) {
    const HWND control = FindWindowExW(hwnd, nullptr, nullptr, litText);
    for (;;) {
      const bool lit = control != nullptr && ShowsLit(control);
      QueryPerformanceCounter(&now);
      if (lit) {
        std::printf(" %.3f", Milliseconds(start, now, frequency));
        break;
      }
      if (now.QuadPart - start.QuadPart > 60 * frequency.QuadPart) {
        std::fprintf(stderr, "timewindow: control %ls not lit within 60 s\n", litText);
        result = 7;
        break;
      }
      Sleep(1);
    }
  }
  std::printf("\n");
  std::fflush(stdout);

  if (hold) WaitForInput();
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "timewindow: %ls did not end after WM_CLOSE: terminated\n", path);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return 6;
  }
  return result;
}
