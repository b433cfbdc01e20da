#include "core/settings.h"

namespace qel {

std::wstring SettingsFilePath(Platform& platform) {
  std::wstring directory = platform.ExecutableDirectory();
  // A drive's root ("C:\") already ends in the separator.
  if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  return directory + L"\\ip.ini";
}

std::wstring ReadSetting(Platform& platform, const std::wstring& key) {
  const std::string value = platform.ReadProfileValue(kSettingsSection, platform.ToAnsi(key),
                                                       kProfileBufferSize, platform.ToAnsi(SettingsFilePath(platform)));
  return platform.FromAnsi(value);
}

std::int32_t WriteSetting(Platform& platform, const std::wstring& key, const std::wstring& value) {
  return platform.WriteProfileValue(kSettingsSection, platform.ToAnsi(key), platform.ToAnsi(value),
                                     platform.ToAnsi(SettingsFilePath(platform)));
}

}  // namespace qel
