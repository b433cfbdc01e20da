#include "core/profile_text_check.h"

namespace qel {
namespace {

// What the profile functions trim: blank, tab, LF, VT, FF, CR and Ctrl-Z.
// None of these is a trail byte of a double-byte code page.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// One line of a text: what it holds, its line end (empty for a last line
// without one) and its number, counting from 1.
struct Line {
  std::string_view text;
  std::string_view end;
  std::size_t number = 0;
};

// Lines end in LF, CR LF or a lone CR.
std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back({text, {}, lines.size() + 1});
      break;
    }
    const std::size_t endLength = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
    lines.push_back({text.substr(0, end), text.substr(end, endLength), lines.size() + 1});
    text.remove_prefix(end + endLength);
  }
  return lines;
}

// A line as every reader of the profile functions sees it: trimmed, a
// section header up to its last "]", a key's name and value trimmed around
// the "=". Empty for a blank line.
struct LineMeaning {
  std::string form;
  bool header = false;
  std::string name;  // the section's or the key's, in lower case; empty for a comment
};

// The last "]" of a line that is a character of its own, not the second
// byte of a double-byte one (Shift-JIS "ゾ" is 0x83 0x5D).
std::size_t LastCloseBracket(std::string_view line, const LeadBytes& leadBytes) {
  std::size_t close = std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte == ']') close = i;
    if (leadBytes[byte]) ++i;
  }
  return close;
}

LineMeaning MeaningOf(std::string_view text, const LeadBytes& leadBytes) {
  LineMeaning meaning;
  const std::string_view line = Trim(text);
  if (line.empty()) return meaning;
  if (line.front() == '[') {
    const std::size_t close = LastCloseBracket(line, leadBytes);
    if (close != std::string_view::npos) {
      meaning.header = true;
      meaning.form = std::string(line.substr(0, close + 1));
      meaning.name = ProfileNameKey(Trim(line.substr(1, close - 1)));
      return meaning;
    }
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    meaning.form = std::string(line);
    if (line.front() != ';') meaning.name = ProfileNameKey(line);
    return meaning;
  }
  const std::string_view key = Trim(line.substr(0, equals));
  meaning.form = std::string(key) + "=" + std::string(Trim(line.substr(equals + 1)));
  if (line.front() != ';') meaning.name = ProfileNameKey(key);
  return meaning;
}

// A line that the comparison holds to the other text.
struct KeptLine {
  std::string form;
  std::size_t number;
};

// The lines of a text that a save must keep: all but blank lines, the
// written keys' lines in the first section named `section`, and, when
// `addedHeader`, that section's first header (one the save added).
std::vector<KeptLine> LinesToKeep(const std::vector<Line>& lines, const LeadBytes& leadBytes, const std::string& section,
                                  const std::vector<std::string>& writtenKeys, bool addedHeader) {
  std::vector<KeptLine> kept;
  bool inSection = false, sectionSeen = false;
  for (const Line& line : lines) {
    LineMeaning meaning = MeaningOf(line.text, leadBytes);
    if (meaning.form.empty()) continue;
    if (meaning.header) {
      inSection = !sectionSeen && meaning.name == section;
      sectionSeen = sectionSeen || inSection;
      if (inSection && addedHeader) continue;
    } else if (inSection && !meaning.name.empty()) {
      bool written = false;
      for (const std::string& key : writtenKeys) written = written || key == meaning.name;
      if (written) continue;
    }
    kept.push_back({std::move(meaning.form), line.number});
  }
  return kept;
}

bool HasHeaderOf(const std::vector<Line>& lines, const LeadBytes& leadBytes, const std::string& section) {
  for (const Line& line : lines) {
    const LineMeaning meaning = MeaningOf(line.text, leadBytes);
    if (meaning.header && meaning.name == section) return true;
  }
  return false;
}

std::string_view WithoutMark(std::string_view text) {
  if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
  return text;
}

}  // namespace

std::string ProfileNameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::optional<CopyMismatch> CompareProfileCopy(std::string_view original, std::string_view copy,
                                               std::string_view section, const std::vector<std::string>& writtenKeys,
                                               const LeadBytes& ansiLeadBytes) {
  // A UTF-8 byte-order mark belongs to the file, not to its first line, and
  // makes it a UTF-8 file, in which no byte of "[]" is part of another
  // character.
  const bool originalMarked = WithoutMark(original).size() != original.size();
  if (originalMarked != (WithoutMark(copy).size() != copy.size())) {
    return CopyMismatch{CopyMismatchKind::kLineChanged, 1};
  }
  const LeadBytes leadBytes = originalMarked ? LeadBytes() : ansiLeadBytes;
  const std::vector<Line> before = SplitLines(WithoutMark(original));
  const std::vector<Line> after = SplitLines(WithoutMark(copy));
  const std::string sectionName = ProfileNameKey(Trim(section));
  std::vector<std::string> keys;
  for (const std::string& key : writtenKeys) keys.push_back(ProfileNameKey(Trim(key)));

  const bool sectionAdded = !HasHeaderOf(before, leadBytes, sectionName);
  const std::vector<KeptLine> kept = LinesToKeep(before, leadBytes, sectionName, keys, false);
  const std::vector<KeptLine> found = LinesToKeep(after, leadBytes, sectionName, keys, sectionAdded);
  const std::size_t pastTheEnd = before.size() + 1;
  for (std::size_t i = 0; i < kept.size() || i < found.size(); ++i) {
    if (i == found.size()) return CopyMismatch{CopyMismatchKind::kLineMissing, kept[i].number};
    if (i == kept.size()) return CopyMismatch{CopyMismatchKind::kLineAdded, pastTheEnd};
    if (kept[i].form == found[i].form) continue;
    // One line too many or too few here, the rest in step again.
    if (i + 1 < found.size() && found[i + 1].form == kept[i].form) {
      return CopyMismatch{CopyMismatchKind::kLineAdded, kept[i].number};
    }
    if (i + 1 < kept.size() && kept[i + 1].form == found[i].form) {
      return CopyMismatch{CopyMismatchKind::kLineMissing, kept[i].number};
    }
    return CopyMismatch{CopyMismatchKind::kLineChanged, kept[i].number};
  }

  // Ended as the original ended: with its line end, or with the CR LF the
  // profile functions write. A last line without one is free to stay so.
  if (!before.empty() && !before.back().end.empty()) {
    const std::string_view end = after.empty() ? std::string_view() : after.back().end;
    if (end != "\r\n" && end != before.back().end) return CopyMismatch{CopyMismatchKind::kEndCut, before.size()};
  }
  return std::nullopt;
}

}  // namespace qel
