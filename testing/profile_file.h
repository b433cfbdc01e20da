// Our own reader and writer of profile (INI) files, standing in for the
// system's profile functions where they don't exist. It follows the rules
// qel relies on: names compared without regard to letter case, blank, tab,
// the other ASCII white space and Ctrl-Z trimmed around names and values,
// one pair of matching enclosing quote marks removed, values cut to the
// caller's buffer, a missing file, section or key read as the empty text; a
// write replaces the key's line or adds one, creating the section and the
// file, and leaves every other byte of the file as it was. Lines starting
// with ";" are comments. Lines end in LF, CR LF or a lone CR; new lines are
// written with CR LF.
//
// What it does not model: text in UTF-16 files (Wine converts them), the
// system's cut of a quoted value whose text fills
// the read's buffer (Wine drops the last character inside the quotes then,
// this engine cuts plainly), and the whole-file rewrite by which Wine's
// writer drops blank lines and the blanks around "=", and writes every line
// anew from the text it read in the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::profile {

// The value as it stands in the file text, trimmed and unquoted, not cut.
std::string ReadValue(std::string_view fileText, std::string_view section, std::string_view key);

// The same, but nothing when the section has no such key (or there is no
// such section), which ReadValue gives as the empty text.
std::optional<std::string> FindValue(std::string_view fileText, std::string_view section, std::string_view key);

// The names of the sections, in the order of the file.
std::vector<std::string> Sections(std::string_view fileText);

// The keys of a section that have a "=", in the order of the file (the
// first section of that name only), as the system lists them for a null key.
std::vector<std::string> Keys(std::string_view fileText, std::string_view section);

// The file text after writing key=value into section.
std::string WriteValue(std::string_view fileText, std::string_view section, std::string_view key,
                       std::string_view value);

// As GetPrivateProfileStringA with the empty default: at most bufferSize - 1
// bytes of the value.
std::string ReadFile(const std::string& section, const std::string& key, std::size_t bufferSize,
                     const std::string& path);

// As WritePrivateProfileStringA: nonzero when the file was written.
std::int32_t WriteFile(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& path);

}  // namespace qel::profile
