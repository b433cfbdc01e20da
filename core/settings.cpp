#include "core/settings.h"

#include "core/numbers.h"

namespace qel {
namespace {

// The profile functions remove one pair of enclosing quote marks, double or
// single, when a value begins and ends with the same one.
bool ReadStripsQuotes(const std::wstring& value) {
  return value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front();
}

// A value that a read would not give back as it stands is written inside
// one more pair of double quotes: the read trims nothing (the line ends in
// a quote mark) and strips just that pair.
bool NeedsAddedQuotes(const std::wstring& value) {
  return ReadStripsQuotes(value) || (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())));
}

bool EndsLine(wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\0'; }

// The first character (a surrogate pair counts as one) the code page
// cannot hold; empty when it holds them all.
std::wstring FirstCharacterNotInCodePage(Platform& platform, const std::wstring& value) {
  for (std::size_t i = 0; i < value.size();) {
    const bool pair = i + 1 < value.size() && value[i] >= 0xD800 && value[i] <= 0xDBFF && value[i + 1] >= 0xDC00 &&
                      value[i + 1] <= 0xDFFF;
    const std::wstring character = value.substr(i, pair ? 2 : 1);
    if (!platform.ToAnsi(character)) return character;
    i += character.size();
  }
  return {};
}

}  // namespace

bool IsBlank(wchar_t c) {
  switch (c) {
    case L' ': case L'\t': case L'\n': case L'\v': case L'\f': case L'\r': case L'\x1A':
    case L'\x85': case L'\xA0': case L'\x1680': case L'\x2028': case L'\x2029':
    case L'\x202F': case L'\x205F': case L'\x3000':
      return true;
    default:
      return c >= L'\x2000' && c <= L'\x200A';
  }
}

std::wstring MaskKey(std::int32_t outlet) { return L"SW" + KeyText(outlet); }
std::wstring CommandKey(std::int32_t number) { return L"CMD" + KeyText(number); }

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

std::optional<ValueProblem> SettingLineOf(Platform& platform, const std::wstring& value, SettingLine& line) {
  for (wchar_t c : value) {
    if (EndsLine(c)) return ValueProblem{SettingProblem::kLineBreak, {}, 0};
  }
  const std::optional<std::string> ansi = platform.ToAnsi(value);
  if (!ansi) {
    std::wstring character = FirstCharacterNotInCodePage(platform, value);
    // The code page may refuse a sequence only as a whole.
    if (character.empty()) character = value;
    return ValueProblem{SettingProblem::kNotInCodePage, character, 0};
  }
  const bool quoted = NeedsAddedQuotes(value);
  const std::size_t limit = quoted ? kLongestQuotedSettingValue : kLongestSettingValue;
  if (ansi->size() > limit) return ValueProblem{SettingProblem::kTooLong, {}, limit};
  line.stored = quoted ? '"' + *ansi + '"' : *ansi;
  line.readBack = *ansi;
  return std::nullopt;
}

std::optional<ValueProblem> CheckSettingValue(Platform& platform, const std::wstring& value) {
  SettingLine line;
  return SettingLineOf(platform, value, line);
}

}  // namespace qel
