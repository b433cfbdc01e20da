#include "core/switch_log.h"

#include "core/errors.h"
#include "core/settings.h"
#include "core/utf8.h"
#include "core/window_texts.h"

namespace qel {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Field(const std::wstring& text) {
  std::wstring field = text;
  for (wchar_t& c : field) {
    if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
  }
  return Utf8Text(field);
}

// `value` in `width` decimal digits, zeros first.
std::string Digits(int value, int width) {
  std::string text(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10) text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  return text;
}

// ISO 8601 to the second, with the offset: "2026-12-11T09:05:07+09:00".
std::string Timestamp(const LocalTime& t) {
  const int offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
  return Digits(t.year, 4) + "-" + Digits(t.month, 2) + "-" + Digits(t.day, 2) + "T" + Digits(t.hour, 2) + ":" +
         Digits(t.minute, 2) + ":" + Digits(t.second, 2) + (t.offsetMinutes < 0 ? "-" : "+") + Digits(offset / 60, 2) +
         ":" + Digits(offset % 60, 2);
}

}  // namespace

std::wstring LogResult(const wchar_t* result, const std::wstring& reason) {
  return reason.empty() ? std::wstring(result) : std::wstring(result) + L": " + reason;
}

std::wstring LogPath(const std::wstring& directory, const std::wstring& value) {
  const bool absolute = (value.size() >= 2 && value[1] == L':') || (!value.empty() && (value[0] == L'\\' || value[0] == L'/'));
  if (absolute) return value;
  std::wstring folder = directory;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder + L"\\" + value;
}

std::string LogLine(const LocalTime& time, const std::wstring& user, LogMode mode, const LogEntry& entry) {
  return Timestamp(time) + "\t" + Field(user) + "\t" + (mode == LogMode::kWindow ? "window" : "script") + "\t" +
         Field(entry.address) + "\t" + Field(entry.outlet) + "\t" + Field(entry.asked) + "\t" + Field(entry.result) +
         "\r\n";
}

void SwitchLog::Prepare() {
  std::wstring value;
  if (FailureOf([&] { value = ReadSetting(platform_, kLogKey); }) || value.empty()) return;
  platform_.UserName();
}

void SwitchLog::Write(const LogEntry& entry) {
  std::wstring value;
  // No ip.ini path, no LOG: no log.
  if (FailureOf([&] { value = ReadSetting(platform_, kLogKey); }) || value.empty()) return;
  const std::wstring path = LogPath(platform_.ExecutableDirectory(), value);
  const std::string line = LogLine(platform_.Now(), platform_.UserName(), mode_, entry);
  const std::optional<SystemError> failure = platform_.AppendLine(path, kByteOrderMark, line, kLogLimitBytes);
  if (failure && !failureTold_) {
    failureTold_ = true;
    if (failed_) failed_(texts::CannotLog(path, *failure));
  }
}

}  // namespace qel
