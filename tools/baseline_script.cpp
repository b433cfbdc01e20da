// The script benchmark's baseline: the work that "qel.exe OUTLET STATE"
// cannot avoid, and nothing else.
//
//   baseline_script.exe [--watched] OUTLET STATE
//
// It reads IP and SW<OUTLET> from [Qelmark] of the ip.ini beside it with the
// profile functions, loads socket.dll from its own folder, and switches the
// outlet with the calls qel makes: setip, receivep6, setdata (STATE not 0)
// or cleandata with the new word, transfer, and one receivep6 after it, as
// qel's check of a switch that shows at once; it reads CONFIRM and LOG as
// qel does. No script language, no number rules, no check of an answer:
// qel's time over this one is what those cost.
//
// With --watched it also starts a second thread before the first call, waits
// until that thread runs, and leaves it waiting until the process ends: what
// a watchdog of the calls costs at the least (a thread that watches has to
// exist), and nothing of its watching. qel's time over this one is what qel
// costs besides its watchdog's thread.
//
// Exit code: 0 when every call was made, 1 when the library or a function
// is missing (or the thread of --watched cannot start), 2 for wrong usage.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <string>

#include "core/switch_library_api.h"

namespace {

namespace api = qel::switch_api;

template <typename Function>
Function Find(HMODULE library, api::Function which) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(library, api::kFunctionNames[static_cast<int>(which)])));
}

// The thread of --watched: it says that it runs, then waits for nothing.
DWORD WINAPI WaitForever(void* running) {
  SetEvent(running);
  Sleep(INFINITE);
  return 0;
}

// Starts that thread and waits until it runs (or has ended); false when it
// cannot be started.
bool StartWaitingThread() {
  const HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (running == nullptr) return false;
  const HANDLE thread = CreateThread(nullptr, 0, &WaitForever, running, 0, nullptr);
  if (thread == nullptr) return false;
  const HANDLE either[] = {running, thread};
  return WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
  constexpr wchar_t kWatched[] = L"--watched ";
  const bool watched = std::wcsncmp(arguments, kWatched, std::size(kWatched) - 1) == 0;
  if (watched) arguments += std::size(kWatched) - 1;
  wchar_t* outletEnd = nullptr;
  wchar_t* stateEnd = nullptr;
  const long outlet = std::wcstol(arguments, &outletEnd, 10);
  const long state = std::wcstol(outletEnd, &stateEnd, 10);
  if (outletEnd == arguments || stateEnd == outletEnd) ExitProcess(2);

  wchar_t module[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (length == 0 || length == MAX_PATH) ExitProcess(1);
  std::wstring folder(module, length);
  folder.erase(folder.find_last_of(L'\\'));
  char ini[MAX_PATH * 2];
  if (WideCharToMultiByte(CP_ACP, 0, (folder + L"\\ip.ini").c_str(), -1, ini, sizeof ini, nullptr, nullptr) == 0) {
    ExitProcess(1);
  }
  char address[1024];
  char mask[1024];
  GetPrivateProfileStringA("Qelmark", "IP", "", address, sizeof address, ini);
  GetPrivateProfileStringA("Qelmark", ("SW" + std::to_string(outlet)).c_str(), "", mask, sizeof mask, ini);

  if (watched && !StartWaitingThread()) ExitProcess(1);
  SetDllDirectoryW(folder.c_str());
  HMODULE library = LoadLibraryW(L"socket.dll");
  SetDllDirectoryW(nullptr);
  if (library == nullptr) ExitProcess(1);
  // Each function is looked up as qel does, when it is first called.
  const auto setip = Find<api::setip_function>(library, api::Function::setip);
  if (setip == nullptr) ExitProcess(1);
  setip(address);
  const auto receivep6 = Find<api::receivep6_function>(library, api::Function::receivep6);
  if (receivep6 == nullptr) ExitProcess(1);
  const auto current = static_cast<std::int16_t>(receivep6());
  const auto bits = static_cast<std::int16_t>(std::atoi(mask));
  // Switching off clears bits 8 to 15 of the word, as qel does.
  const auto word = static_cast<std::int16_t>(state != 0 ? current | bits : current & (bits ^ 255));
  const auto stage = Find<api::setdata_function>(library, state != 0 ? api::Function::setdata : api::Function::cleandata);
  if (stage == nullptr) ExitProcess(1);
  stage(word);
  const auto transfer = Find<api::transfer_function>(library, api::Function::transfer);
  if (transfer == nullptr) ExitProcess(1);
  transfer(word);
  // qel reads the switch back once (the check after a switch, with the
  // seconds CONFIRM gives), and asks ip.ini whether to log it (LOG).
  char setting[1024];
  GetPrivateProfileStringA("Qelmark", "CONFIRM", "", setting, sizeof setting, ini);
  receivep6();
  GetPrivateProfileStringA("Qelmark", "LOG", "", setting, sizeof setting, ini);
  ExitProcess(0);
}
