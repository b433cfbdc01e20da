// Runs the command line in the environment variable QEL_RAW_COMMAND_LINE
// exactly as written, waits for it and exits with its exit code. Launchers
// outside Windows quote arguments their own way; qel needs its exact text.
#include <windows.h>

#include <string>

#include "win32/owned_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const DWORD size = GetEnvironmentVariableW(L"QEL_RAW_COMMAND_LINE", nullptr, 0);
  if (size == 0) return 125;
  std::wstring commandLine(size, L'\0');
  GetEnvironmentVariableW(L"QEL_RAW_COMMAND_LINE", commandLine.data(), size);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION information = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &information)) {
    return 126;
  }
  qel::OwnedProcess process;
  process.Take(information);
  WaitForSingleObject(process.process.get(), INFINITE);
  DWORD exitCode = 127;
  GetExitCodeProcess(process.process.get(), &exitCode);
  return static_cast<int>(exitCode);
}
