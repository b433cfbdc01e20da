// The switch log, kept only when ip.ini asks for it: LOG=<file> in
// [Qelmark], a relative path taken from qel.exe's folder (a scheduled task
// starts in System32). Every switch, status query and command line started
// appends one line: the local time with its offset, the user, the mode, the
// switch's address, the outlet (or CMD<n>), what was asked and what came of
// it, separated by tabs. The file is UTF-8 with a byte-order mark and CRLF
// line ends, so that Notepad and Excel open it as it is; each line is one
// append, and at kLogLimitBytes the file is renamed to "<file>.1" and a new
// one begins (Platform::AppendLine).
//
// A log that cannot be written never stops what it records: the first
// failure is told once to whoever runs the log (a script writes a line on
// standard error, the window says so), later ones are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/platform.h"

namespace qel {

inline constexpr wchar_t kLogKey[] = L"LOG";
inline constexpr std::uint64_t kLogLimitBytes = 1024 * 1024;

// The mode a line names.
enum class LogMode { kWindow, kScript };

// One line's own fields; the log adds the time, the user and the mode.
struct LogEntry {
  std::wstring address;
  std::wstring outlet;  // "2", "1 2 3 4" for a status query, "CMD1"
  std::wstring asked;   // "on", "off", "?", a command line
  std::wstring result;  // "confirmed", "done", "started", "failed: <reason>", ...
};

// The results a line can name; a reason follows after ": ".
namespace log_result {
inline constexpr wchar_t kConfirmed[] = L"confirmed";
inline constexpr wchar_t kDone[] = L"done";  // switched, without a check (the window, CONFIRM=0)
inline constexpr wchar_t kStarted[] = L"started";
inline constexpr wchar_t kNotConfirmed[] = L"not confirmed";
inline constexpr wchar_t kFailed[] = L"failed";
inline constexpr wchar_t kNoAnswer[] = L"no answer";
}  // namespace log_result

// "failed: 切替できず: IP が空", and the like.
std::wstring LogResult(const wchar_t* result, const std::wstring& reason);

// The path of the log named by `value` (LOG's value): as it stands when it
// is absolute ("C:\...", "\\server\..."), else inside `directory`.
std::wstring LogPath(const std::wstring& directory, const std::wstring& value);

// The line of an entry, UTF-8 with CRLF: "2026-12-11T09:05:07+09:00\ttaro\t
// script\t192.168.1.10\t2\ton\tconfirmed\r\n". Tabs and line breaks inside
// a field become blanks.
std::string LogLine(const LocalTime& time, const std::wstring& user, LogMode mode, const LogEntry& entry);

class SwitchLog {
 public:
  // `failed` is told the first failure, in words ("記録できず: <path>:
  // reason (code)"), once.
  SwitchLog(Platform& platform, LogMode mode, std::function<void(const std::wstring&)> failed)
      : platform_(platform), mode_(mode), failed_(std::move(failed)) {}

  // Appends the entry when ip.ini names a log (LOG is read anew each time).
  void Write(const LogEntry& entry);
  // Makes the system ready for a Write when ip.ini names a log: what a
  // Write needs that may load a DLL (the user's name) is asked now, so that
  // a Write from the watchdog, while a socket.dll that hangs as it loads
  // holds the loader, needs nothing of it.
  void Prepare();

 private:
  Platform& platform_;
  LogMode mode_;
  std::function<void(const std::wstring&)> failed_;
  bool failureTold_ = false;
};

}  // namespace qel
