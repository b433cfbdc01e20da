#include "win32/win32_platform.h"

#include <windows.h>

#include <vector>

#include "win32/module_path.h"
#include "win32/owned_handle.h"

namespace qel {

std::optional<std::string> Win32Platform::ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  // No best fit: a character without its own code is reported, not turned
  // into a look-alike ("Ω" into "O") that names another file. UTF-8 as the
  // ANSI code page holds every character but takes neither flag nor the
  // question; it fails on a lone surrogate instead.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const askUsedDefault = utf8 ? nullptr : &usedDefault;
  const int length = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, askUsedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), size, out.data(), length, nullptr, askUsedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::wstring Win32Platform::FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), length);
  return out;
}

std::wstring Win32Platform::ToUpper(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), size, out.data(), length);
  return out;
}

NumberSeparators Win32Platform::Separators() {
  NumberSeparators separators;
  wchar_t buffer[8];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, ARRAYSIZE(buffer)) > 1) {
    separators.decimal = buffer;
  }
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, ARRAYSIZE(buffer)) > 1) {
    separators.grouping = buffer;
  }
  return separators;
}

std::string Win32Platform::ReadProfileValue(const std::string& section, const std::string& key,
                                             std::size_t bufferSize, const std::string& path) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                static_cast<DWORD>(bufferSize), path.c_str());
  buffer[length < bufferSize ? length : bufferSize] = '\0';
  return std::string(buffer.data());
}

std::int32_t Win32Platform::WriteProfileValue(const std::string& section, const std::string& key,
                                               const std::string& value, const std::string& path) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
}

std::wstring Win32Platform::ExecutableDirectory() { return FolderOf(WholeModulePath(nullptr)); }

std::wstring ArgumentsOf(const std::wstring& commandLine) {
  // As the C runtime finds the arguments of WinMain: a quoted name ends at
  // its closing quote, any other at the first blank.
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    i = close == std::wstring::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
  }
  while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
  return commandLine.substr(i);
}

std::wstring Win32Platform::ArgumentText() { return ArgumentsOf(GetCommandLineW()); }

void* Win32Platform::LoadSwitchLibrary(const std::wstring& fileName) {
  // The usual search, the executable's folder first, but without the current
  // directory: a socket.dll in whatever folder a shortcut starts in must not
  // be loaded. Naming the executable's own folder as the DLL directory takes
  // the current directory out of the search on Windows and under Wine alike
  // (Wine keeps it for the empty text). The setting is undone right after
  // the load, so that programs qel starts search as they would from
  // Explorer, and nothing else qel loads later depends on it.
  SetDllDirectoryW(ExecutableDirectory().c_str());
  HMODULE library = LoadLibraryW(fileName.c_str());
  SetDllDirectoryW(nullptr);
  return library;
}

RawFunction Win32Platform::FindFunction(void* library, const char* name) {
  return reinterpret_cast<RawFunction>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void Win32Platform::SleepThenPumpEvents(int milliseconds) {
  Sleep(static_cast<DWORD>(milliseconds));
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave the quit request for the event loop that owns it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool Win32Platform::StartCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return false;
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION information = {};
  // The started program may take the foreground from us.
  AllowSetForegroundWindow(ASFW_ANY);
  // The program gets the system's default error mode, not the one qel set
  // for itself to keep system dialogs from stopping a script.
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      nullptr, &startup, &information)) {
    return false;
  }
  OwnedProcess started;  // not waited for: its handles are closed here
  started.Take(information);
  return true;
}

}  // namespace qel
