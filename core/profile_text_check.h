// Whether a copy of a profile (INI) file, into which some keys of one
// section were written through the profile functions, still holds the rest
// of the original: every other line, in order, and its end. A disk that
// fills up while the profile functions write cuts the file without their
// saying so, anywhere: in a value longer than a read gives back (which a
// read-back of the values cannot see), in a comment, in another section, in
// the last line end. This compares the two texts line by line.
//
// What the profile functions may change besides the written keys' lines,
// and so what the comparison lets pass:
// - the lines of the written keys in the first section of that name, and
//   such lines added to it (a key the file lacked);
// - the section's header added, when the original has no such section;
// - the form of a line that no reader sees: blank lines, the blanks (blank,
//   tab, the other ASCII white space, Ctrl-Z) around a line, around a key's
//   name and value, what follows a section header's "]", and the form of
//   the line end (LF, CR, CR LF). Windows' profile functions leave every
//   line they do not write byte for byte; Wine's write the whole file anew
//   from what they read, without all of these.
// Anything else is a mismatch: a line lost, cut, changed or doubled, and a
// copy that ends without the line end the original ended with (a cut in
// the blanks at a line's end, which the rest lets pass, ends so).
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
