// Our own reader and writer of profile (INI) files, for the fake platform:
// the rules of the system's profile functions that qel relies on, writing as
// Windows does (the key's line replaced or added, every other byte kept).
// Not modelled: UTF-16 files, Wine's cut of a quoted value that fills the
// read's buffer, and Wine's rewrite of the whole file.
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
