// Times a window program's start-up, inside Wine (without Wine's own start):
//
//   timewindow.exe [--hold] PROGRAM CLASS
//
// Notes QueryPerformanceCounter, starts PROGRAM (no arguments) with
// CreateProcessW, and checks every millisecond until a window of class CLASS
// belonging to that process is visible. Prints the time in milliseconds and
// the Windows process id ("<ms> <pid>", one line), then closes the window
// with WM_CLOSE and waits up to 10 s for the process to end (it is
// terminated otherwise). With --hold it waits between the two for its
// standard input to reach its end (or a line), so a caller can watch the
// running window for as long as it likes.
//
// Exit code: 0 when the window showed and the program ended after WM_CLOSE;
// 2 for wrong usage, 3 when the program could not start, 4 when it ended
// before showing the window, 5 when no window showed within 60 s, 6 when it
// had to be terminated.
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
  if (argc > 1 && lstrcmpW(argv[1], L"--hold") == 0) {
    hold = true;
    first = 2;
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: timewindow.exe [--hold] PROGRAM CLASS\n");
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
  const double ms =
      1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%.3f %lu\n", ms, processId);
  std::fflush(stdout);

  if (hold) WaitForInput();
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "timewindow: %ls did not end after WM_CLOSE: terminated\n", path);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return 6;
  }
  return 0;
}
