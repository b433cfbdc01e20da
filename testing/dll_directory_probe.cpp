// A socket.dll that tells what the process's DLL directory was while it
// loaded: its DllMain writes GetDllDirectoryW's text (UTF-8, empty when none
// is set) to dll-directory.txt beside itself. Its five functions are the
// library's and do nothing: each returns 0. The tests put it beside qel.exe
// to show that loading the library changes nothing of the process (a
// program a CMD line starts meanwhile would inherit the DLL directory).

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/switch_library_api.h"

// The functions' parameters are named in the list and never read here.
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace {

void WriteDllDirectory(HINSTANCE self) {
  wchar_t path[MAX_PATH] = {};
  const DWORD pathLength = GetModuleFileNameW(self, path, MAX_PATH);
  if (pathLength == 0 || pathLength >= MAX_PATH) return;
  std::wstring report(path, pathLength);
  report = report.substr(0, report.find_last_of(L'\\') + 1) + L"dll-directory.txt";
  wchar_t directory[MAX_PATH] = {};
  const DWORD length = GetDllDirectoryW(MAX_PATH, directory);
  char bytes[4 * MAX_PATH] = {};
  const int size = length == 0 ? 0
                               : WideCharToMultiByte(CP_UTF8, 0, directory, static_cast<int>(length), bytes,
                                                     sizeof bytes, nullptr, nullptr);
  const HANDLE file = CreateFileW(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes, static_cast<DWORD>(size > 0 ? size : 0), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" {

#define QEL_PROBE_DEFINE(name, parameters) \
  __declspec(dllexport) std::int32_t QEL_STDCALL name parameters { return 0; }
QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_PROBE_DEFINE)
#undef QEL_PROBE_DEFINE

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) WriteDllDirectory(self);
  return TRUE;
}

}  // extern "C"
