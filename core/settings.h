// The settings file ip.ini beside the executable, section Qelmark: its keys,
// each read from the file anew, and how a value is saved so that any reader
// of the profile functions gets it back exactly (README.md, "The settings
// file ip.ini"). Save and quit writes it (settings_save.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/platform.h"

namespace qel {

inline constexpr char kSettingsSection[] = "Qelmark";
inline constexpr std::size_t kProfileBufferSize = 1024;
// The longest value a read gives back whole, in bytes of the ANSI code page.
inline constexpr std::size_t kLongestSettingValue = kProfileBufferSize - 1;
// The same for a value written inside added quote marks. When the text
// inside the quotes fills the read's buffer, Wine cuts its last character;
// Windows has no test for that case. One byte less is safe on both.
inline constexpr std::size_t kLongestQuotedSettingValue = kLongestSettingValue - 1;

// The keys of ip.ini, formed here only: "IP", "SW<outlet>" for outlets 1 to
// 4, "CMD<number>" for command lines 1 to 3. Other numbers form keys that
// nothing writes ("SW-2", "CMD0"); reading them gives the empty text.
inline constexpr wchar_t kAddressKey[] = L"IP";
std::wstring MaskKey(std::int32_t outlet);
std::wstring CommandKey(std::int32_t number);

// A blank: a character a read may remove from the ends of a value, and what
// an address that names no switch consists of. Blank and tab, the other
// ASCII white space and Ctrl-Z, which Wine trims too; and, to be safe with
// readers that count them as white space, the Unicode blanks (the
// ideographic space of Japanese text among them). (CR and LF never reach a
// saved value: a value holding one is refused.)
bool IsBlank(wchar_t c);

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
  kTooLong,        // longer than a read gives back whole
  kLineBreak,      // holds CR, LF or NUL, which would end its line in the file
};
struct ValueProblem {
  SettingProblem kind;
  // kNotInCodePage: the first character the code page cannot hold.
  std::wstring character;
  // kTooLong: the limit that applies to this value, in bytes of the code
  // page (kLongestQuotedSettingValue when it is written inside added quotes).
  std::size_t limitBytes = 0;
};
std::optional<ValueProblem> CheckSettingValue(Platform& platform, const std::wstring& value);

// A value as it is saved so that it comes back as it is.
struct SettingLine {
  // What its line holds after "KEY=": the value in the ANSI code page,
  // inside one more pair of double quotes when a read would otherwise not
  // give it back as it is.
  std::string stored;
  // What a read of that line gives: the value in the ANSI code page.
  std::string readBack;
};
// The line of `value` in `line`; or why the value cannot be saved so, and
// `line` is left as it was.
std::optional<ValueProblem> SettingLineOf(Platform& platform, const std::wstring& value, SettingLine& line);

}  // namespace qel
