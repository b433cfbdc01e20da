#include "core/settings.h"

namespace qel {
namespace {

// The profile functions remove one pair of enclosing quote marks, double or
// single, when a value begins and ends with the same one. Such a value is
// written inside one more pair of double quotes, so it comes back whole.
bool ReadStripsQuotes(const std::string& value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

}  // namespace

std::wstring SettingsFilePath(Platform& platform) {
  std::wstring directory = platform.ExecutableDirectory();
  // A drive's root ("C:\") already ends in the separator.
  if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  return directory + L"\\ip.ini";
}

bool SettingsFileHasPath(Platform& platform) { return platform.ToAnsi(SettingsFilePath(platform)).has_value(); }

std::wstring ReadSetting(Platform& platform, const std::wstring& key) {
  const std::string path = AnsiText(platform, SettingsFilePath(platform));
  const std::string value = platform.ReadProfileValue(kSettingsSection, AnsiText(platform, key), kProfileBufferSize, path);
  return platform.FromAnsi(value);
}

std::optional<SettingProblem> CheckSettingValue(Platform& platform, const std::wstring& value) {
  const std::optional<std::string> ansi = platform.ToAnsi(value);
  if (!ansi) return SettingProblem::kNotInCodePage;
  // A value written inside added quote marks is read back one byte shorter
  // at the limit (the closing mark takes the last place of the buffer).
  if (ansi->size() > kLongestSettingValue - (ReadStripsQuotes(*ansi) ? 1 : 0)) return SettingProblem::kTooLong;
  return std::nullopt;
}

std::int32_t WriteSetting(Platform& platform, const std::wstring& key, const std::wstring& value) {
  const std::string path = AnsiText(platform, SettingsFilePath(platform));
  const std::string text = AnsiText(platform, value);
  return platform.WriteProfileValue(kSettingsSection, AnsiText(platform, key),
                                    ReadStripsQuotes(text) ? '"' + text + '"' : text, path);
}

}  // namespace qel
