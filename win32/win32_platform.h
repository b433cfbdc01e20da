// The platform on Windows: the real profile functions, LoadLibrary and
// GetProcAddress, Sleep with a message pump, CreateProcess.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/platform.h"

namespace qel {

// The bytes of a code page that begin a character of two bytes.
std::bitset<256> LeadBytesOf(UINT codePage);

class Win32Platform : public Platform {
 public:
  // Takes qel's folder now: asking the system for it later waits for the
  // loader, which a socket.dll that hangs while it loads holds for good.
  Win32Platform();
  std::optional<std::string> ToAnsi(std::wstring_view text) override;
  std::wstring FromAnsi(std::string_view text) override;
  std::bitset<256> AnsiLeadBytes() override { return LeadBytesOf(GetACP()); }
  std::wstring ToUpper(std::wstring_view text) override;
  NumberSeparators Separators() override;
  std::string ReadProfileValue(const std::string& section, const std::string& key, std::size_t bufferSize,
                                const std::string& path) override;
  std::wstring ExecutableDirectory() override;
  std::wstring ArgumentText() override;
  void* LoadSwitchLibrary(const std::wstring& fileName, SystemError& failure) override;
  RawFunction FindFunction(void* library, const char* name) override;
  void SleepThenPumpEvents(int milliseconds) override;
  std::optional<SystemError> StartCommandLine(const std::wstring& commandLine) override;
  void WriteErrorLine(std::wstring_view line) override;
  void WriteOutputLine(std::string_view line) override;
  LocalTime Now() override;
  std::wstring UserName() override;
  std::optional<SystemError> AppendLine(const std::wstring& path, std::string_view header, std::string_view line,
                                        std::uint64_t limitBytes) override;
  std::wstring FoldFullWidth(std::wstring_view text) override;
  bool IsReadOnlyFile(const std::wstring& path) override;
  std::optional<SystemError> CopyBeside(const std::wstring& path, std::wstring& copy) override;
  std::optional<SystemError> WriteProfileValue(const std::string& section, const std::string& key,
                                               const std::string& value, const std::string& path) override;
  std::vector<std::string> ReadProfileSections(const std::string& path) override;
  std::vector<std::string> ReadProfileKeys(const std::string& section, const std::string& path) override;
  std::optional<SystemError> FlushProfileFile(const std::wstring& path) override;
  bool FileExists(const std::wstring& path) override;
  std::optional<SystemError> ReadWholeFile(const std::wstring& path, std::string& bytes) override;
  std::optional<SystemError> ReplaceWithCopy(const std::wstring& copy, const std::wstring& path) override;
  std::optional<SystemError> RemoveFile(const std::wstring& path) override;

 private:
  std::wstring executableDirectory_;
  std::optional<std::wstring> userName_;
};

// Text in the given code page, as Win32Platform::ToAnsi gives it for the
// system's ANSI code page: nothing when the code page cannot hold a
// character of it.
std::optional<std::string> TextInCodePage(std::wstring_view text, UINT codePage);

// LoadLibraryExW, or a stand-in with its contract.
using LibraryLoader = HMODULE(WINAPI*)(LPCWSTR fileName, HANDLE reserved, DWORD flags);

// The library `fileName` from the program's own folder, else the system
// folder, never the current directory; loaded as Win32Platform's
// LoadSwitchLibrary does, with `load` in the place of LoadLibraryExW.
HMODULE LoadFromProgramFolder(const std::wstring& fileName, LibraryLoader load = &LoadLibraryExW);

// WideCharToMultiByte, or a stand-in with its contract.
using TextConverter = int(WINAPI*)(UINT codePage, DWORD flags, LPCWCH text, int size, LPSTR out, int outSize,
                                   LPCCH defaultChar, LPBOOL usedDefault);

// A line of standard error in `codePage` (the system's ANSI code page): as
// Notepad and type read a log. A character the code page cannot hold is
// its default character ("?"); UTF-8 (65001) holds them all.
std::string LineInCodePage(std::wstring_view line, UINT codePage, TextConverter convert = &WideCharToMultiByte);

// ReplaceFileW, or a stand-in with its contract.
using FileReplacer = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                                   LPVOID exclude, LPVOID reserved);

// Win32Platform::ReplaceWithCopy with `replace` in the place of ReplaceFileW.
std::optional<SystemError> ReplaceFileByCopy(const std::wstring& copy, const std::wstring& path,
                                             FileReplacer replace);

// The text after the program's name in a command line, without the blanks
// that follow the name. The name ends at the closing quote when it starts
// with one, else at the first blank.
std::wstring ArgumentsOf(const std::wstring& commandLine);

}  // namespace qel
