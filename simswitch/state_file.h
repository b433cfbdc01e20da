// The simulated switch's state file, one "<address>=<word>" a line: read and
// rewritten by the library, printed by tools/show_state. Portable. The
// format and what a read lets pass are in simswitch/README.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel::simswitch {

// The text without blanks (space, tab) at either end.
std::string_view Trim(std::string_view text);

// A decimal integer with an optional sign and nothing else; false for
// anything else, including numbers beyond 18 digits.
bool ParseDecimal(std::string_view text, std::int64_t& value);

// The low 16 bits of a number as a signed 16-bit word: 65535 becomes -1.
std::int32_t Narrow16(std::int64_t value);

// The text with line breaks replaced by '?', so it fits on one line.
std::string OneLine(std::string_view text);

// The form under which an address is kept in the file: on one line, blanks
// at either end dropped.
std::string AddressKey(std::string_view address);

// One line of the file (its line end may still be on it): the address and
// the word it sets, or false when the line sets none.
bool ParseStateLine(std::string_view line, std::string_view& address, std::int32_t& word);

// The word for an address; the last line for it counts; 0 when it has none.
std::int32_t WordInState(std::string_view text, std::string_view address);

// Every address that has a line, in the order of their first lines, with the
// word that counts for it (that of its last line).
struct StateSwitch {
  std::string address;
  std::int32_t word;
};
std::vector<StateSwitch> SwitchesInState(std::string_view text);

// The text with the address's word set: its first line is replaced, any
// further lines for it are dropped, and it is added at the end when it has
// none. Other lines stay as they are; every line ends in LF.
std::string StateWithWord(std::string_view text, std::string_view address, std::int32_t word);

}  // namespace qel::simswitch
