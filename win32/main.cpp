// The process entry of qel.exe. The start-up routine runs first: a command
// script ends the process at once without a window. In window mode the
// window is created, hidden, just before it is filled from ip.ini, then
// shown. A script has no window to create: creating one would bring up the
// windowing system and make every script several times slower to start.
//
// A script's calls into the switch library are each held to
// kCallLimitSeconds by a watchdog (call_watchdog.h), which ends the process
// itself when a call does not come back; the window makes its calls from a
// thread of its own and watches them itself. A call that never comes back
// must not keep the process: a script ends with ExitProcess, the window's
// mode with TerminateProcess once the window is closed. A
// script ends with 0, 1 or 2 (core/command_script.h), one that a failure
// nothing expects stopped with 1 (RunStartup).
#include <windows.h>

// GCC's code for 32-bit Windows counts on a stack pointer that is a multiple
// of 16 at each call, which the system does not promise where it calls in
// (thread and window procedures, COM callbacks). qel is built for x86
// without SSE (the toolchain's default), whose code needs no more than 4:
// those entry points take the stack as the system gives it, at no cost in
// size. The one caller of code that may need 16, socket.dll, aligns the
// stack for it (core/switch_library.cpp). A build with SSE must align the
// entry points too (-mincoming-stack-boundary=2).
#if defined(__i386__) && defined(__SSE__)
#error "qel's entry points take the system's stack as it is: build without SSE, or with -mincoming-stack-boundary=2"
#endif

#include "core/command_script.h"
#include "core/switch_library.h"
#include "win32/call_watchdog.h"
#include "win32/win32_platform.h"
#include "win32/window/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // No system dialog may ever stop a script: a broken socket.dll or a
  // missing drive fails the call instead.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);

  qel::Win32Platform platform;
  qel::SwitchLibrary library(platform);
  qel::MainWindow window(library);
  bool created = false;

  qel::CallWatchdog watchdog(platform, qel::kCallLimitSeconds * 1000);
  library.Watch(&watchdog);
  const qel::StartOutcome outcome = qel::RunStartup(library, [&] {
    library.Watch(nullptr);  // the window watches its own calls (live_panel.h)
    created = window.Create(instance) != nullptr;
    if (created) window.FillFromSettings();
  });
  if (outcome.mode == qel::StartMode::kScript) ExitProcess(static_cast<UINT>(qel::ExitCodeOf(outcome)));
  if (!created) ExitProcess(1);
  // The window is closed, ip.ini saved (or left alone) and the ON or OFF
  // pressed carried out: the process ends without the loader lock that
  // ExitProcess takes, which a socket.dll that hangs while it loads holds
  // for good.
  const int exitCode = window.Run();
  qel::EndThisProcessNow(static_cast<UINT>(exitCode));
  return exitCode;
}
