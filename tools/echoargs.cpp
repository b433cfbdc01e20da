// Appends the command line it was started with, as UTF-8, and the show
// command it was asked for, as one line to echoargs.log beside itself; and
// what it inherited of its starter's settings, the error mode and the DLL
// directory, as one line "errormode=N<TAB>dlldirectory=TEXT" to
// echoargs.inherited beside itself.
#include <windows.h>

#include <string>

#include "win32/owned_handle.h"

namespace {

bool AppendUtf8(const std::wstring& path, const std::wstring& line) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
  const qel::OwnedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring log(path, length);
  const std::wstring folder = log.substr(0, log.find_last_of(L'\\') + 1);
  log = folder + L"echoargs.log";

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::wstring line = std::wstring(GetCommandLineW()) + L"\t" + std::to_wstring(show) + L"\n";

  const UINT errorMode = SetErrorMode(0);  // reads it
  wchar_t dllDirectory[MAX_PATH] = L"";
  GetDllDirectoryW(MAX_PATH, dllDirectory);
  AppendUtf8(folder + L"echoargs.inherited",
             L"errormode=" + std::to_wstring(errorMode) + L"\tdlldirectory=" + dllDirectory + L"\n");
  return AppendUtf8(log, line) ? 0 : 1;
}
