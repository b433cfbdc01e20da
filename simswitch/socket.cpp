// The simulated switch: a socket.dll that qel loads in place of the vendor's.
// No device, no network I/O: each switch is a status word per address in a
// state file; calls go to a journal and faults come on request, every setting
// read from the environment at each call (simswitch/README.md). Its variants
// are this code with another export table or convention (CMakeLists.txt).

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/switch_library_api.h"
#include "simswitch/state_file.h"
#include "win32/module_path.h"
#include "win32/owned_handle.h"

// Each function's calling convention: __stdcall, as the library's interface
// says. A variant built with QELSIM_CONVENTION_<function> defined gives that
// one function another convention (see CMakeLists.txt): a library that qel
// must refuse to call on.
#ifndef QELSIM_CONVENTION_setip
#define QELSIM_CONVENTION_setip QEL_STDCALL
#endif
#ifndef QELSIM_CONVENTION_receivep6
#define QELSIM_CONVENTION_receivep6 QEL_STDCALL
#endif
#ifndef QELSIM_CONVENTION_setdata
#define QELSIM_CONVENTION_setdata QEL_STDCALL
#endif
#ifndef QELSIM_CONVENTION_cleandata
#define QELSIM_CONVENTION_cleandata QEL_STDCALL
#endif
#ifndef QELSIM_CONVENTION_transfer
#define QELSIM_CONVENTION_transfer QEL_STDCALL
#endif

// The five functions as the library declares them; a definition below that
// differs from the list does not compile. Which of them are exported is set
// by the module definition file that CMake writes from the same list.
extern "C" {
#define QELSIM_DECLARE(name, parameters) std::int32_t QELSIM_CONVENTION_##name name parameters;
QEL_SWITCH_LIBRARY_FUNCTIONS(QELSIM_DECLARE)
#undef QELSIM_DECLARE
}

namespace {

using qel::simswitch::AddressKey;
using qel::simswitch::Narrow16;
using qel::simswitch::OneLine;
using qel::simswitch::ParseDecimal;
using qel::simswitch::StateWithWord;
using qel::simswitch::Trim;
using qel::simswitch::WordInState;

// What the "range" fault makes a function return: outside 16 bits.
constexpr std::int32_t kOutOfRangeResult = 70000;

// ---------------------------------------------------------------- text

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::string ErrorText(DWORD error) { return "Win32 error " + std::to_string(error); }

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

// ---------------------------------------------------------------- environment

// A variable of the process environment as it is now; empty when unset.
std::wstring Environment(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return std::wstring();
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size needed, terminating null included
  }
}

// The directory holding this library, with a trailing backslash.
std::wstring LibraryDirectory() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&LibraryDirectory), &self)) {
    return std::wstring();
  }
  const std::wstring folder = qel::FolderOf(qel::WholeModulePath(self));
  if (folder.empty() || folder.back() == L'\\') return folder;
  return folder + L"\\";
}

std::wstring StatePath() {
  std::wstring path = Environment(L"QELSIM_STATE");
  if (path.empty()) path = LibraryDirectory() + L"socket-sim.state";
  return path;
}

// ---------------------------------------------------------------- files

// Reads a whole file. A file that does not exist reads as empty text.
bool ReadWholeFile(const std::wstring& path, std::string& text, DWORD& error) {
  text.clear();
  const qel::OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
  }
  char buffer[4096];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      error = GetLastError();
      ok = false;
      break;
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text, DWORD& error) {
  qel::OwnedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size();
  if (!ok) error = GetLastError();
  // Closing flushes what was written: its failure is a failed write.
  if (!CloseHandle(file.Release()) && ok) {
    error = GetLastError();
    ok = false;
  }
  return ok;
}

// Replaces a file's content as one step: the text goes to a temporary file
// beside it, which then takes the file's place, so a reader sees either the
// old or the new content, never part of one.
bool ReplaceWholeFile(const std::wstring& path, const std::string& text, DWORD& error) {
  const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  if (!WriteWholeFile(temporary, text, error)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  // A reader or an editor may hold the file open for a moment.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    error = GetLastError();
    if (attempt == 40 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) break;
    Sleep(25);
  }
  DeleteFileW(temporary.c_str());
  return false;
}

// ---------------------------------------------------------------- state file
//
// Its format and reading rules: state_file.h.

// Serializes rewriting the state file among all processes using this library.
class StateLock {
 public:
  StateLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\qelsim-state-file")) {
    // An abandoned mutex counts as owned; after 10 s the rewrite goes on
    // without the lock rather than stall the caller.
    if (mutex_) owned_ = WaitForSingleObject(mutex_.get(), 10000) != WAIT_TIMEOUT;
  }
  ~StateLock() {
    if (owned_) ReleaseMutex(mutex_.get());
  }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

 private:
  qel::OwnedHandle mutex_;
  bool owned_ = false;
};

// ---------------------------------------------------------------- journal

// Appends one line to the journal named by QELSIM_JOURNAL, if any, with the
// calling thread's id at its end. The file is closed again at once, so
// nothing is lost when the process ends abruptly.
void Journal(const std::string& call) {
  const std::wstring path = Environment(L"QELSIM_JOURNAL");
  if (path.empty()) return;
  const qel::OwnedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string text = call + " [thread " + std::to_string(GetCurrentThreadId()) + "]\n";
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// ---------------------------------------------------------------- faults

struct Faults {
  DWORD slowMilliseconds = 0;
  bool hang = false;
  bool range = false;
};

// The faults QELSIM_FAULT asks of one function: a comma-separated list of
// "<function>=<fault>", with the faults "slow<milliseconds>", "hang" and
// "range". Letter case and blanks around the parts do not matter; entries
// that are not of that form are ignored. Several entries for one function
// all apply, and their slow times add up.
Faults FaultsFor(std::string_view function) {
  std::string text = Narrow(Environment(L"QELSIM_FAULT"));
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  Faults faults;
  for (std::string_view entry : Split(text, ',')) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos || Trim(entry.substr(0, equals)) != function) continue;
    const std::string_view fault = Trim(entry.substr(equals + 1));
    std::int64_t milliseconds = 0;
    if (fault == "hang") {
      faults.hang = true;
    } else if (fault == "range") {
      faults.range = true;
    } else if (fault.substr(0, 4) == "slow" && fault.size() > 4 && fault[4] != '-' &&
               fault[4] != '+' && ParseDecimal(fault.substr(4), milliseconds)) {
      const std::int64_t total = faults.slowMilliseconds + milliseconds;
      faults.slowMilliseconds = static_cast<DWORD>(total < INFINITE - 1 ? total : INFINITE - 1);
    }
  }
  return faults;
}

// ---------------------------------------------------------------- calls

// What a call did: its result and, when something went wrong that the
// result does not show, a note for the journal.
struct Outcome {
  std::int32_t result;
  std::string note;
};

// Runs one exported function: applies its faults, performs it and journals
// it as "<call> -> <result>", with " ! <note>" after it when there is a note,
// or as "<call> hangs" when it is made to hang. `callSite` is the stack
// pointer where the caller made the call (the function's canonical frame
// address): GCC's code for 32-bit Windows counts on it being a multiple of
// 16, and a call where it is not says so in a note.
template <typename Action>
std::int32_t Perform(std::string_view function, const std::string& call, const void* callSite, Action action) {
  const auto misaligned = reinterpret_cast<std::uintptr_t>(callSite) % 16;
  const std::string stackNote = misaligned == 0 ? "" : "stack " + std::to_string(misaligned) + " off 16";
  const Faults faults = FaultsFor(function);
  if (faults.hang) {
    Journal(call + " hangs" + (stackNote.empty() ? "" : " ! " + stackNote));
    for (;;) Sleep(INFINITE);
  }
  if (faults.slowMilliseconds > 0) Sleep(faults.slowMilliseconds);
  Outcome outcome = action();
  if (!stackNote.empty()) outcome.note = outcome.note.empty() ? stackNote : stackNote + ", " + outcome.note;
  if (faults.range) outcome.result = kOutOfRangeResult;
  std::string line = call + " -> " + std::to_string(outcome.result);
  if (!outcome.note.empty()) line += " ! " + outcome.note;
  Journal(line);
  return outcome.result;
}

// The address chosen by the last setip, in its state-file form.
SRWLOCK selectionLock = SRWLOCK_INIT;
std::string selectedAddress;

std::string SelectedAddress() {
  AcquireSRWLockShared(&selectionLock);
  std::string address = selectedAddress;
  ReleaseSRWLockShared(&selectionLock);
  return address;
}

Outcome Select(const char* address) {
  std::string key = AddressKey(address == nullptr ? "" : address);
  AcquireSRWLockExclusive(&selectionLock);
  selectedAddress.swap(key);
  ReleaseSRWLockExclusive(&selectionLock);
  return {0, std::string()};
}

Outcome ReadWord() {
  const std::wstring path = StatePath();
  std::string text;
  DWORD error = 0;
  if (!ReadWholeFile(path, text, error)) {
    return {0, "cannot read state file " + Narrow(path) + ": " + ErrorText(error)};
  }
  return {WordInState(text, SelectedAddress()), std::string()};
}

// Staging changes nothing at the switch: its outlets change at transfer.
Outcome Stage(std::int32_t word) { return {Narrow16(word), std::string()}; }

Outcome Transfer(std::int32_t word) {
  const std::int32_t stored = Narrow16(word);
  const std::wstring path = StatePath();
  StateLock lock;
  std::string text;
  DWORD error = 0;
  if (!ReadWholeFile(path, text, error)) {
    return {stored, "cannot read state file " + Narrow(path) + ": " + ErrorText(error)};
  }
  if (!ReplaceWholeFile(path, StateWithWord(text, SelectedAddress(), stored), error)) {
    return {stored, "cannot write state file " + Narrow(path) + ": " + ErrorText(error)};
  }
  return {stored, std::string()};
}

}  // namespace

extern "C" {

std::int32_t QELSIM_CONVENTION_setip setip(const char* address) {
  const std::string shown = address == nullptr ? std::string("(null)") : OneLine(address);
  return Perform("setip", "setip " + shown, __builtin_dwarf_cfa(), [&] { return Select(address); });
}

std::int32_t QELSIM_CONVENTION_receivep6 receivep6(void) {
  return Perform("receivep6", "receivep6", __builtin_dwarf_cfa(), [] { return ReadWord(); });
}

std::int32_t QELSIM_CONVENTION_setdata setdata(std::int32_t word) {
  return Perform("setdata", "setdata " + std::to_string(word), __builtin_dwarf_cfa(), [=] { return Stage(word); });
}

std::int32_t QELSIM_CONVENTION_cleandata cleandata(std::int32_t word) {
  return Perform("cleandata", "cleandata " + std::to_string(word), __builtin_dwarf_cfa(), [=] { return Stage(word); });
}

std::int32_t QELSIM_CONVENTION_transfer transfer(std::int32_t word) {
  return Perform("transfer", "transfer " + std::to_string(word), __builtin_dwarf_cfa(), [=] { return Transfer(word); });
}

}  // extern "C"
