// The settings file ip.ini beside the executable, section Qelmark. Every read
// and write goes to the file again: nothing is kept in memory between calls.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform.h"

namespace qel {

inline constexpr char kSettingsSection[] = "Qelmark";
inline constexpr std::size_t kProfileBufferSize = 1024;

// The executable's directory followed by "\ip.ini".
std::wstring SettingsFilePath(Platform& platform);

// One value of section Qelmark; the empty text when the file, the section or
// the key is missing. Values are cut to 1023 bytes of the ANSI code page.
std::wstring ReadSetting(Platform& platform, const std::wstring& key);

// Replaces or adds the key's line, creating section and file when missing.
// Nonzero on success.
std::int32_t WriteSetting(Platform& platform, const std::wstring& key, const std::wstring& value);

}  // namespace qel
