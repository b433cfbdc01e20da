// Values that must come back from ip.ini exactly as they were saved, with
// the text the value's line holds after "KEY=". The unit tests run the table
// through our own profile engine, the Windows tests through the system's
// profile functions. Plain ASCII, so the line is the same in every code page.
#pragma once

#include <optional>
#include <string>

#include "core/settings_save.h"

namespace qel::testing_tables {

// Saves one value under `key` as save and quit saves a field the user
// typed; its failure, if any.
inline std::optional<SaveFailure> SaveValue(Platform& platform, const std::wstring& key, const std::wstring& value) {
  return SaveSettings(platform, {{key, key, std::nullopt, value}});
}

struct SettingRoundTrip {
  const char* what;
  const wchar_t* value;
  const char* stored;
};

inline constexpr SettingRoundTrip kSettingRoundTrips[] = {
    {"plain text is written as it is", L"192.168.1.10", "192.168.1.10"},
    {"the empty text", L"", ""},
    {"a dropped path in quotes", L"\"C:\\My Tools\\run.exe\"", "\"\"C:\\My Tools\\run.exe\"\""},
    {"a quoted program with a quoted argument", L"\"C:\\My Tools\\run me.exe\" \"C:\\My Tools\\a b.txt\"",
     "\"\"C:\\My Tools\\run me.exe\" \"C:\\My Tools\\a b.txt\"\""},
    {"single quotes are stripped too", L"'x y'", "\"'x y'\""},
    {"two quote marks alone", L"\"\"", "\"\"\"\""},
    {"one quote mark alone is not stripped", L"\"", "\""},
    {"quotes that do not match are not stripped", L"\"a b'", "\"a b'"},
    {"a quote only at the start", L"\"C:\\My Tools\\run.exe\" /x", "\"C:\\My Tools\\run.exe\" /x"},
    // A read trims blanks and tabs at the ends before it strips quotes.
    {"a blank after a quoted path", L"\"C:\\My Tools\\run.exe\" ", "\"\"C:\\My Tools\\run.exe\" \""},
    {"a blank before a quoted program and argument", L" \"C:\\a b\\x.exe\" \"C:\\a b\\y.txt\"",
     "\" \"C:\\a b\\x.exe\" \"C:\\a b\\y.txt\"\""},
    {"blanks around plain text", L"  notepad.exe  ", "\"  notepad.exe  \""},
    {"a tab at the start", L"\tcalc.exe", "\"\tcalc.exe\""},
    {"a tab at the end", L"calc.exe\t", "\"calc.exe\t\""},
    {"a blank alone", L" ", "\" \""},
    {"blanks inside need no quotes", L"a  \t b", "a  \t b"},
    {"a quoted value with a blank inside the quotes", L"\" x \"", "\"\" x \"\""},
};

}  // namespace qel::testing_tables
