// Whether a copy of a profile (INI) file, after a save wrote some keys of one
// section into it, still holds the rest of the original, compared line by
// line: a full disk cuts a file anywhere, also where no read-back of the
// values looks. It lets pass only what the system's profile functions may
// rewrite without a reader seeing it (README.md, "What a save guarantees").
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

enum class CopyMismatchKind {
  kLineMissing,   // a line of the original is not in the copy
  kLineChanged,   // a line of the original is in the copy, but not as it was
  kLineAdded,     // the copy has a line the original does not have there
  kEndCut,        // the copy's last line ends without the original's line end
};

struct CopyMismatch {
  CopyMismatchKind kind;
  // The line of the original (1-based) that is missing or changed, or that
  // the added line stands before; one past the last line when the added
  // line is at the end. For kEndCut, the original's last line.
  std::size_t line = 0;
  bool operator==(const CopyMismatch& other) const { return kind == other.kind && line == other.line; }
};

// A section's or a key's name as the profile functions compare names: its
// ASCII letters in lower case.
std::string ProfileNameKey(std::string_view name);

// The bytes that begin a character of two bytes in the ANSI code page
// (in Shift-JIS 0x81-0x9F and 0xE0-0xFC), whose second byte may be that of
// "[", "\" or "]". None in a single-byte code page and in UTF-8.
using LeadBytes = std::bitset<256>;

// Compares `copy` with `original` after keys `writtenKeys` of `section` were
// written into it (names compared without regard to letter case, as the
// profile functions compare them), each read as text of the ANSI code page
// whose lead bytes are `ansiLeadBytes`. Nothing when the copy holds all the
// rest of the original.
std::optional<CopyMismatch> CompareProfileCopy(std::string_view original, std::string_view copy,
                                               std::string_view section, const std::vector<std::string>& writtenKeys,
                                               const LeadBytes& ansiLeadBytes);

}  // namespace qel
