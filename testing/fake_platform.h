// A platform for tests and fuzzing: profile files kept in memory and handled
// by our own profile layer, a recording stand-in for the switch library,
// sleeps and program starts that are only recorded. Its 8-bit code page is
// UTF-8. One FakePlatform may exist at a time: the switch library's
// functions are plain function pointers and reach it through a static.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/settings.h"

namespace qel {

class FakePlatform : public Platform {
 public:
  FakePlatform();
  ~FakePlatform() override;
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // Platform
  std::optional<std::string> ToAnsi(std::wstring_view text) override;
  std::wstring FromAnsi(std::string_view text) override;
  std::bitset<256> AnsiLeadBytes() override { return {}; }  // UTF-8 has none
  std::wstring ToUpper(std::wstring_view text) override;
  NumberSeparators Separators() override { return separators; }
  std::string ReadProfileValue(const std::string& section, const std::string& key, std::size_t bufferSize,
                                const std::string& path) override;
  std::wstring ExecutableDirectory() override { return executableDirectory; }
  std::wstring ArgumentText() override { return argumentText; }
  void* LoadSwitchLibrary(const std::wstring& fileName, SystemError& failure) override;
  RawFunction FindFunction(void* library, const char* name) override;
  void SleepThenPumpEvents(int milliseconds) override;
  std::optional<SystemError> StartCommandLine(const std::wstring& commandLine) override;
  void WriteErrorLine(std::wstring_view line) override { errorLines.emplace_back(line); }
  void WriteOutputLine(std::string_view line) override { outputLines.emplace_back(line); }
  LocalTime Now() override { return now; }
  std::wstring UserName() override { return userName; }
  // Fails as step "append" of failingSteps, or on a path in readOnlyFiles.
  std::optional<SystemError> AppendLine(const std::wstring& path, std::string_view header, std::string_view line,
                                        std::uint64_t limitBytes) override;
  // U+FF01…U+FF5E to "!"…"~" and the ideographic space to " ".
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

  // The settings file as SettingsFilePath names it, in the 8-bit code page.
  std::string iniPath() { return ToAnsi(SettingsFilePath(*this)).value_or(""); }
  void SetIni(const std::string& text) { files[iniPath()] = text; }
  std::string Ini();

  // Settings of the fake.
  // Characters its code page is to hold none of (UTF-8 holds everything but
  // lone surrogates): ToAnsi gives nothing for a text with one of them.
  std::wstring outsideCodePage;
  NumberSeparators separators;
  std::wstring executableDirectory = L"C:\\qel";
  std::wstring argumentText;
  std::map<std::string, std::string> files;  // path -> content
  bool filesWritable = true;
  bool libraryPresent = true;
  // Why the library does not load, when it is not present.
  SystemError libraryLoadError{126, L"The specified module could not be found."};
  std::set<std::string> missingFunctions;
  // receivep6 returns `status`; transfer stores its word there. A result set
  // in `results` (by function name) is returned instead.
  std::int32_t status = 0;
  std::map<std::string, std::int32_t> results;
  // The word transfer sends shows in `status` only once this many
  // milliseconds have been slept after it (a switch that changes its
  // outlets late); negative: never (a switch that ignores transfer).
  long long transferShowsAfter = 0;
  // The time and the user the log names.
  LocalTime now{2026, 12, 11, 9, 5, 7, 540};
  std::wstring userName = L"taro";
  // Programs that start; any other non-empty command line fails to start,
  // with error 2. Empty: every non-empty command line starts.
  std::set<std::wstring> startablePrograms;
  // Steps of a save that fail, with the system's error code: "copy",
  // "write <KEY>", "flush", "read <PATH>", "replace", "remove". Code 0: the
  // step fails without a reason.
  std::map<std::string, std::uint32_t> failingSteps;
  // Files (in the 8-bit code page) with the read-only attribute.
  std::set<std::string> readOnlyFiles;
  // What the name of a save's copy adds to the file's name.
  std::wstring copySuffix = L".1.tmp";
  // A file that a profile write makes longer is cut to this many bytes, and
  // the write still says it succeeded: what a disk that fills up does to the
  // system's profile functions.
  std::size_t diskBytes = static_cast<std::size_t>(-1);

  // What happened.
  std::vector<std::string> calls;  // "setip 1.2.3.4", "receivep6", "setdata 33", ...
  int libraryLoads = 0;            // attempts, successful or not
  std::vector<std::string> lookups;
  int sleepCount = 0;
  long long sleptMilliseconds = 0;
  std::vector<std::wstring> started;
  std::vector<std::wstring> errorLines;  // WriteErrorLine's lines, without CRLF
  std::vector<std::string> outputLines;  // WriteOutputLine's lines, without CRLF
  // The files a save touched, in order: "copy FROM TO", "write PATH KEY",
  // "flush PATH", "read PATH", "replace PATH COPY", "remove PATH".
  std::vector<std::string> fileSteps;

 private:
  std::int32_t Record(const std::string& function, const std::string& argument, std::int32_t normalResult);
  std::optional<SystemError> Fault(const std::string& step);
  static FakePlatform* current_;
  std::optional<std::int32_t> transferred_;  // a word sent that does not show yet
  long long transferredShowsAt_ = 0;         // in sleptMilliseconds

  friend struct FakeLibraryFunctions;
};

}  // namespace qel
