#include "settings/settings.h"

namespace qel {

std::wstring IniPath(Platform& platform) {
  std::wstring directory = platform.ExecutableDirectory();
  // A drive's root ("C:\") already ends in the separator.
  if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  return directory + L"\\ip.ini";
}

std::wstring GetIni(Platform& platform, const std::wstring& key) {
  const std::string value = platform.ReadProfileValue(kSettingsSection, platform.ToAnsi(key),
                                                       kProfileBufferSize, platform.ToAnsi(IniPath(platform)));
  return platform.FromAnsi(value);
}

std::int32_t PutIni(Platform& platform, const std::wstring& key, const std::wstring& value) {
  return platform.WriteProfileValue(kSettingsSection, platform.ToAnsi(key), platform.ToAnsi(value),
                                     platform.ToAnsi(IniPath(platform)));
}

}  // namespace qel
