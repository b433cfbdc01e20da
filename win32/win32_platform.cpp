#include "win32/win32_platform.h"

#include "win32/append_line.h"

#include <windows.h>

#include <vector>

#include "core/numbers.h"
#include "win32/module_path.h"
#include "win32/owned_handle.h"

namespace qel {

std::optional<std::string> TextInCodePage(std::wstring_view text, UINT codePage) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  // No best fit: a character without its own code is reported, not turned
  // into a look-alike ("Ω" into "O") that names another file. UTF-8 holds
  // every character but takes neither flag nor the question; it fails on a
  // lone surrogate instead.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const askUsedDefault = utf8 ? nullptr : &usedDefault;
  const int length = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, askUsedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), length, nullptr, askUsedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::optional<std::string> Win32Platform::ToAnsi(std::wstring_view text) { return TextInCodePage(text, GetACP()); }

std::wstring Win32Platform::FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), length);
  return out;
}

std::bitset<256> LeadBytesOf(UINT codePage) {
  std::bitset<256> lead;
  CPINFO info = {};
  if (!GetCPInfo(codePage, &info)) return lead;
  // Ranges, first and last byte, until a pair of zeros.
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) lead.set(byte);
  }
  return lead;
}

namespace {

// `text` as the user locale's mapping `flags` gives it; as it is when the
// mapping fails.
std::wstring MappedByLocale(std::wstring_view text, DWORD flags) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring(text);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), size, out.data(), length);
  return out;
}

}  // namespace

std::wstring Win32Platform::ToUpper(std::wstring_view text) { return MappedByLocale(text, LCMAP_UPPERCASE); }

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

Win32Platform::Win32Platform() : executableDirectory_(FolderOf(WholeModulePath(nullptr))) {}

std::wstring Win32Platform::ExecutableDirectory() { return executableDirectory_; }

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

HMODULE LoadFromProgramFolder(const std::wstring& fileName, LibraryLoader load) {
  // Our own folder, then the system's; never the current directory: a
  // socket.dll where a shortcut starts must not load. The search is the
  // call's own and changes nothing of the process, which other threads
  // (a delay load, a started program that inherits the DLL directory) may
  // meet meanwhile.
  HMODULE library = load(fileName.c_str(), nullptr,
                         LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return library;
  // A system without these search flags (Vista, and 7 without update
  // KB2533623): our folder as the DLL directory, which also leaves out the
  // current directory (Wine keeps it for the empty text), undone at once.
  SetDllDirectoryW(FolderOf(WholeModulePath(nullptr)).c_str());
  library = LoadLibraryW(fileName.c_str());
  const DWORD error = GetLastError();
  SetDllDirectoryW(nullptr);
  SetLastError(error);
  return library;
}

namespace {
SystemError SystemErrorOf(unsigned long code);
}  // namespace

void* Win32Platform::LoadSwitchLibrary(const std::wstring& fileName, SystemError& failure) {
  HMODULE library = LoadFromProgramFolder(fileName);
  if (library == nullptr) failure = SystemErrorOf(GetLastError());
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

// Full-width digits, signs, points and letters become ASCII, the
// ideographic space a blank.
std::wstring Win32Platform::FoldFullWidth(std::wstring_view text) { return MappedByLocale(text, LCMAP_HALFWIDTH); }

namespace {

// The system's error with its text, on one line.
SystemError SystemErrorOf(unsigned long code) {
  // No code: the system gave no reason, and no text is made for it.
  if (code == ERROR_SUCCESS) return {0, L""};
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  return {static_cast<std::uint32_t>(code), result};
}

// The reason of the call that just failed.
std::optional<SystemError> LastError() { return SystemErrorOf(GetLastError()); }

// Writes all of `size` bytes; the system's reason when it cannot, and a
// failure without one when it writes nothing and says nothing (a full disk
// may).
std::optional<SystemError> WriteWhole(HANDLE file, const char* bytes, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, bytes, size, &written, nullptr)) return LastError();
    if (written == 0) return SystemError{0, L""};
    bytes += written;
    size -= written;
  }
  return std::nullopt;
}

}  // namespace

std::optional<SystemError> Win32Platform::StartCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return SystemError{0, L""};
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
    return LastError();
  }
  OwnedProcess started;  // not waited for: its handles are closed here
  started.Take(information);
  return std::nullopt;
}

std::string LineInCodePage(std::wstring_view line, UINT codePage, TextConverter convert) {
  if (line.empty()) return std::string();
  const int size = static_cast<int>(line.size());
  // No best fit: a character the code page cannot hold is written as its
  // default character ("?"), not as a look-alike that names another file.
  // UTF-8 holds every character and takes no such flag: Windows refuses
  // the call (ERROR_INVALID_FLAGS), as it does for a few other code pages,
  // which are then converted without it.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int length = convert(codePage, flags, line.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0 && flags != 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    length = convert(codePage, flags, line.data(), size, nullptr, 0, nullptr, nullptr);
  }
  if (length <= 0) return std::string();
  std::string bytes(static_cast<std::size_t>(length), '\0');
  length = convert(codePage, flags, line.data(), size, bytes.data(), length, nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return bytes;
}

void Win32Platform::WriteErrorLine(std::wstring_view line) {
  // A program of the windows subsystem has a standard error handle only when
  // its starter gave it one: a batch file's 2>err.txt or 2>&1, a scheduled
  // task's redirection. Without one nothing is shown anywhere.
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  std::string bytes = LineInCodePage(line, GetACP());
  bytes += "\r\n";
  WriteWhole(error, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void Win32Platform::WriteOutputLine(std::string_view line) {
  // As for standard error: only a starter's redirection or pipe gives one
  // ("for /f ... in ('qel.exe ? 2')", "qel.exe ? 2 | find").
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  const std::string bytes = std::string(line) + "\r\n";
  WriteWhole(output, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LocalTime Win32Platform::Now() {
  SYSTEMTIME utc = {}, local = {};
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  FILETIME utcTime = {}, localTime = {};
  SystemTimeToFileTime(&utc, &utcTime);
  SystemTimeToFileTime(&local, &localTime);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  const long long offsetSeconds = (ticks(localTime) - ticks(utcTime)) / 10000000;
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
          static_cast<int>(offsetSeconds / 60)};
}

std::wstring Win32Platform::UserName() {
  // Asked once: advapi32 loads at the first call, which must not come when
  // a socket.dll that hangs while it loads holds the loader (the watchdog's
  // last line in the log).
  if (!userName_) {
    wchar_t name[257] = {};
    DWORD size = 257;
    userName_ = GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
  }
  return *userName_;
}

std::optional<SystemError> Win32Platform::AppendLine(const std::wstring& path, std::string_view header,
                                                     std::string_view line, std::uint64_t limitBytes) {
  const DWORD error = AppendLineToFile(path, header, line, limitBytes);
  if (error == ERROR_SUCCESS) return std::nullopt;
  return SystemErrorOf(error);
}

bool Win32Platform::FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::IsReadOnlyFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::optional<SystemError> Win32Platform::CopyBeside(const std::wstring& path, std::wstring& copy) {
  // Nobody may write the file while it is copied; a program that holds it
  // open without sharing stops the save here.
  OwnedHandle source(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!source && GetLastError() != ERROR_FILE_NOT_FOUND) return LastError();
  // One name per process: a copy that a crashed save of an earlier process
  // with the same id left is simply written over.
  const std::wstring name = path + L"." + DecimalText(GetCurrentProcessId()) + L".tmp";
  OwnedHandle target(
      CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target) return LastError();
  char buffer[16384];
  std::optional<SystemError> error;
  for (;;) {
    DWORD got = 0;
    if (source && !ReadFile(source.get(), buffer, sizeof buffer, &got, nullptr)) {
      error = LastError();
      break;
    }
    if (got == 0) {
      copy = name;
      return std::nullopt;
    }
    if ((error = WriteWhole(target.get(), buffer, got))) break;
  }
  target.Reset();
  // What was written of the copy goes. Whether that works is not told: the
  // failure to copy is what the save reports, and a copy left here stops no
  // later save (this process's next save writes it over).
  DeleteFileW(name.c_str());
  return error;
}

std::optional<SystemError> Win32Platform::WriteProfileValue(const std::string& section, const std::string& key,
                                                           const std::string& value, const std::string& path) {
  // Cleared first: a failure that sets no code must not be given an older
  // call's.
  SetLastError(ERROR_SUCCESS);
  if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str())) return std::nullopt;
  return LastError();
}

namespace {

// A list of names as the profile functions give it: each ended by a null,
// the list by one more. A list that does not fit comes back as the buffer's
// size less two: then a larger buffer is tried.
template <typename List>
std::vector<std::string> NameList(List list) {
  std::vector<char> buffer(4096);
  DWORD length = 0;
  for (;;) {
    length = list(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length + 2 < buffer.size() || buffer.size() >= (1u << 24)) break;
    buffer.resize(buffer.size() * 4);
  }
  std::vector<std::string> names;
  for (std::size_t at = 0; at < length && buffer[at] != '\0';) {
    names.emplace_back(buffer.data() + at);
    at += names.back().size() + 1;
  }
  return names;
}

}  // namespace

std::vector<std::string> Win32Platform::ReadProfileSections(const std::string& path) {
  return NameList([&](char* buffer, DWORD size) { return GetPrivateProfileSectionNamesA(buffer, size, path.c_str()); });
}

std::vector<std::string> Win32Platform::ReadProfileKeys(const std::string& section, const std::string& path) {
  return NameList([&](char* buffer, DWORD size) {
    return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, size, path.c_str());
  });
}

std::optional<SystemError> Win32Platform::FlushProfileFile(const std::wstring& path) {
  // Three nulls: the profile functions drop what they keep of the file, so
  // that the reads after this read the disk, not their memory. What it
  // returns says nothing: Windows NT and later return FALSE for this call.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
  OwnedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !FlushFileBuffers(file.get())) return LastError();
  return std::nullopt;
}

std::optional<SystemError> Win32Platform::ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::nullopt;
    return LastError();
  }
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return LastError();
    if (got == 0) return std::nullopt;
    bytes.append(buffer, got);
  }
}

std::optional<SystemError> ReplaceFileByCopy(const std::wstring& copy, const std::wstring& path, FileReplacer replace) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
    if (MoveFileExW(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return std::nullopt;
    }
    return LastError();
  }
  if (replace(path.c_str(), copy.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return std::nullopt;
  }
  const DWORD error = GetLastError();
  // Without a backup file, a failure to move the copy may leave no file of
  // the replaced name (ERROR_UNABLE_TO_MOVE_REPLACEMENT). The copy is whole
  // and checked: it takes that place, and the save is done.
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND &&
      MoveFileExW(copy.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return std::nullopt;
  }
  return SystemErrorOf(error);
}

std::optional<SystemError> Win32Platform::ReplaceWithCopy(const std::wstring& copy, const std::wstring& path) {
  return ReplaceFileByCopy(copy, path, &ReplaceFileW);
}

std::optional<SystemError> Win32Platform::RemoveFile(const std::wstring& path) {
  // The profile functions may still hold a change to the file that they
  // could not write; they would write it, creating the file anew, at their
  // next call for another file. Let them have done with it first. What
  // this call returns says nothing (see FlushProfileFile).
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
  if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return LastError();
}

}  // namespace qel
