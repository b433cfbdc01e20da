// The one seam between qel's portable core and the system it runs on.
// The Win32 layer implements it with the real calls; tests and fuzzers use
// the recording fake in testing/. No system header may be included here.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// An address returned by FindFunction; cast to the function's real type.
using RawFunction = void (*)();

// Why a call into the system failed: its error code and its text for it,
// in the system's words. Code 0 and no text: the system failed without
// saying why (a write that wrote nothing, a call that set no error code).
struct SystemError {
  std::uint32_t code = 0;
  std::wstring text;
};

// A moment in local time, to the second, with its offset from UTC in
// minutes (east positive).
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int offsetMinutes = 0;
};

// The decimal and digit-grouping separators of the user's locale.
struct NumberSeparators {
  std::wstring decimal = L".";
  std::wstring grouping = L",";
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Text between the program's wide strings and the system's 8-bit (ANSI)
  // code page. ToAnsi gives nothing when the code page cannot hold a
  // character of the text: no look-alike ("Ω" as "O") and no "?" stands in.
  virtual std::optional<std::string> ToAnsi(std::wstring_view text) = 0;
  virtual std::wstring FromAnsi(std::string_view text) = 0;
  // The bytes of that code page that begin a character of two bytes.
  virtual std::bitset<256> AnsiLeadBytes() = 0;

  // Upper case by the user locale's mapping.
  virtual std::wstring ToUpper(std::wstring_view text) = 0;
  virtual NumberSeparators Separators() = 0;

  // One value of a profile (INI) file, as GetPrivateProfileStringA returns
  // it into a buffer of bufferSize bytes with the empty text as default.
  virtual std::string ReadProfileValue(const std::string& section, const std::string& key,
                                        std::size_t bufferSize, const std::string& path) = 0;

  // The directory holding the running executable, as the system reports it.
  virtual std::wstring ExecutableDirectory() = 0;
  // The command line after the program's name and the blanks following it.
  virtual std::wstring ArgumentText() = 0;

  // Loads the switch library by file name with the usual library search;
  // returns null when it cannot be loaded, with the system's reason in
  // `failure`. Looks up one of its functions by its plain name; null when it
  // is missing.
  virtual void* LoadSwitchLibrary(const std::wstring& fileName, SystemError& failure) = 0;
  virtual RawFunction FindFunction(void* library, const char* name) = 0;

  // Sleeps, then processes every window event that is pending.
  virtual void SleepThenPumpEvents(int milliseconds) = 0;

  // Starts a command line with a normal, focused window without waiting for
  // it; the system's error when no process could be created (code 0 for the
  // empty text, which is not handed to the system).
  virtual std::optional<SystemError> StartCommandLine(const std::wstring& commandLine) = 0;

  // Writes one line, and CRLF, to the process's standard error in the ANSI
  // code page, when it has one (redirected to a file or a pipe by whoever
  // started it); does nothing when it has none.
  virtual void WriteErrorLine(std::wstring_view line) = 0;

  // Writes one line of ASCII text, and CRLF, to the process's standard
  // output, when it has one; does nothing when it has none.
  virtual void WriteOutputLine(std::string_view line) = 0;

  // The local time now, and the name of the user the process runs as.
  virtual LocalTime Now() = 0;
  virtual std::wstring UserName() = 0;
  // Appends `line` to the file `path` in one write, opened for appending
  // only, so that lines of processes appending at once never interleave;
  // `header` goes first into a file that is new or empty. A file that
  // `line` would make longer than `limitBytes` is first renamed to
  // "<path>.1", replacing any older one, and a new file begins. The
  // system's error when the line could not be written.
  virtual std::optional<SystemError> AppendLine(const std::wstring& path, std::string_view header,
                                                std::string_view line, std::uint64_t limitBytes) = 0;

  // Full-width forms folded to their ASCII forms by the system's mapping:
  // "１２８" becomes "128", "－１．５" "-1.5"; other characters stay.
  virtual std::wstring FoldFullWidth(std::wstring_view text) = 0;
  // The steps of a save, all or nothing (core/settings_save.h); each gives
  // the system's error when it fails, nothing when it succeeds.
  // Whether the file has the read-only attribute; false when there is none.
  virtual bool IsReadOnlyFile(const std::wstring& path) = 0;
  // A new file in the folder of `path` holding what `path` holds now (empty
  // when there is no such file yet), named in `copy`. A file no other
  // program may read while it is open fails. A copy a crashed save left
  // behind does not stop it.
  virtual std::optional<SystemError> CopyBeside(const std::wstring& path, std::wstring& copy) = 0;
  // Replaces or adds one value of a profile file, as
  // WritePrivateProfileStringA does, creating section and file when missing.
  virtual std::optional<SystemError> WriteProfileValue(const std::string& section, const std::string& key,
                                                       const std::string& value, const std::string& path) = 0;
  // The sections of a profile file, as GetPrivateProfileSectionNamesA lists
  // them, and the keys of one, as GetPrivateProfileStringA lists them for a
  // null key (keys without "=" are not listed).
  virtual std::vector<std::string> ReadProfileSections(const std::string& path) = 0;
  virtual std::vector<std::string> ReadProfileKeys(const std::string& section, const std::string& path) = 0;
  // Forgets what the profile functions keep of the file in memory, so that
  // the next read reads the disk, and flushes the file to the disk.
  virtual std::optional<SystemError> FlushProfileFile(const std::wstring& path) = 0;
  // Whether a file (not a folder) is there.
  virtual bool FileExists(const std::wstring& path) = 0;
  // Every byte of a file, read from the disk; empty when there is no such
  // file.
  virtual std::optional<SystemError> ReadWholeFile(const std::wstring& path, std::string& bytes) = 0;
  // Puts `copy` in the place of `path` in one step, keeping the attributes
  // and security of `path`; moves it there when there is no `path` yet.
  virtual std::optional<SystemError> ReplaceWithCopy(const std::wstring& copy, const std::wstring& path) = 0;
  // Removes a file, and what the profile functions keep of it; nothing
  // happens when it is not there.
  virtual std::optional<SystemError> RemoveFile(const std::wstring& path) = 0;
};

// The text in the ANSI code page; raises kNotInCodePage when the code page
// cannot hold a character of it.
std::string AnsiText(Platform& platform, std::wstring_view text);

}  // namespace qel
