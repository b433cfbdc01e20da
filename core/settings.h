// The settings file ip.ini beside the executable, section Qelmark. Every read
// and write goes to the file again: nothing is kept in memory between calls.
//
// Whatever WriteSetting writes, ReadSetting gives back exactly, and so does
// any other reader that uses the system's profile functions: a value those
// functions would strip of its enclosing quote marks is written inside one
// more pair of them. A value is saved only if the ANSI code page holds every
// character of it and it fits the 1023 bytes a read gives back
// (CheckSettingValue tells before writing).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/platform.h"

namespace qel {

inline constexpr char kSettingsSection[] = "Qelmark";
inline constexpr std::size_t kProfileBufferSize = 1024;
// The longest value a read gives back whole, in bytes of the ANSI code page
// (one less for a value that is written inside added quote marks).
inline constexpr std::size_t kLongestSettingValue = kProfileBufferSize - 1;

// The executable's directory followed by "\ip.ini".
std::wstring SettingsFilePath(Platform& platform);

// Whether that path can be named to the profile functions, which take it in
// the ANSI code page. When it cannot, no setting is read or written.
bool SettingsFileHasPath(Platform& platform);

// One value of section Qelmark; the empty text when the file, the section or
// the key is missing. Values are cut to 1023 bytes of the ANSI code page.
// Raises kNotInCodePage when the settings file's path cannot be expressed in
// the ANSI code page: no other file is read in its place.
std::wstring ReadSetting(Platform& platform, const std::wstring& key);

// Why a value cannot be saved so that it comes back as it is.
enum class SettingProblem {
  kNotInCodePage,  // the ANSI code page cannot hold a character of it
  kTooLong,        // longer than kLongestSettingValue bytes in that code page
};
std::optional<SettingProblem> CheckSettingValue(Platform& platform, const std::wstring& value);

// Replaces or adds the key's line, creating section and file when missing.
// Nonzero on success. Raises kNotInCodePage when the path or the value
// cannot be expressed in the ANSI code page; nothing is written then.
std::int32_t WriteSetting(Platform& platform, const std::wstring& key, const std::wstring& value);

}  // namespace qel
