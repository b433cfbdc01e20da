// The process entry of qel.exe. The window is created hidden, then the
// start-up routine runs as its load event would: a command script ends the
// process at once without the window ever being shown.
#include <windows.h>

#include "outlets/switch_library.h"
#include "platform/win32/win32_platform.h"
#include "startup/script.h"
#include "window/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // No system dialog may ever stop a script: a broken socket.dll or a
  // missing drive fails the call instead.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);

  qel::Win32Platform platform;
  qel::SwitchLibrary library(platform);
  qel::MainWindow window(library);
  const bool created = window.Create(instance);

  const qel::StartOutcome outcome = qel::RunStartup(library, [&window] { window.SetIpDlg(); });
  if (outcome.mode == qel::StartMode::kScript) ExitProcess(static_cast<UINT>(qel::ExitCodeOf(outcome)));
  if (!created) return 1;
  return window.Run();
}
