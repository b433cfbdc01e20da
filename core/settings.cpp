#include "core/settings.h"

namespace qel {

std::wstring SettingsFilePath(Platform& platform) {
  std::wstring directory = platform.ExecutableDirectory();
  // A drive's root ("C:\") already ends in the separator.
  if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  return directory + L"\\ip.ini";
}

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
  const bool quoted = QuotedForProfile(*ansi).size() != ansi->size();
  if (ansi->size() > kLongestSettingValue - (quoted ? 1 : 0)) return SettingProblem::kTooLong;
  return std::nullopt;
}

std::string QuotedForProfile(std::string value) {
  // The profile functions remove one pair of enclosing quote marks, double
  // or single, when a value begins and ends with the same one.
  const bool stripped =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return stripped ? '"' + value + '"' : value;
}

std::int32_t WriteSetting(Platform& platform, const std::wstring& key, const std::wstring& value) {
  const std::string path = AnsiText(platform, SettingsFilePath(platform));
  return platform.WriteProfileValue(kSettingsSection, AnsiText(platform, key),
                                    QuotedForProfile(AnsiText(platform, value)), path);
}

}  // namespace qel
