#include "testing/profile_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace qel::profile {
namespace {

// What the system's profile functions trim around names and values: blank,
// tab, the other ASCII white space and Ctrl-Z.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// One line of the file: its text without the terminator, and the terminator.
struct Line {
  std::string_view text;
  std::string_view end;
};

// Lines end in LF, CR LF or a lone CR.
std::vector<Line> SplitLines(std::string_view file) {
  std::vector<Line> lines;
  while (!file.empty()) {
    const std::size_t end = file.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back({file, {}});
      break;
    }
    const std::size_t endLength = (file[end] == '\r' && end + 1 < file.size() && file[end + 1] == '\n') ? 2 : 1;
    lines.push_back({file.substr(0, end), file.substr(end, endLength)});
    file.remove_prefix(end + endLength);
  }
  return lines;
}

std::string_view SkipUtf8Mark(std::string_view file) {
  if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);
  return file;
}

// Section header "[name]": the name, or nothing for other lines.
bool SectionName(std::string_view line, std::string_view* name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const std::size_t close = line.find(']');
  *name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  return true;
}

// Entry line "key=value": the trimmed key and the raw value.
bool Entry(std::string_view line, std::string_view* key, std::string_view* value) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    *key = trimmed;
    *value = {};
  } else {
    *key = Trim(line.substr(0, equals));
    *value = line.substr(equals + 1);
  }
  return true;
}

// Where section and key stand in the lines. npos when missing.
struct Position {
  std::size_t section = std::string_view::npos;  // header line
  std::size_t lastOfSection = std::string_view::npos;  // last non-empty line in it
  std::size_t entry = std::string_view::npos;
};

Position Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  Position at;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (SectionName(lines[i].text, &name)) {
      if (at.section != std::string_view::npos && inSection) return at;  // first matching section only
      inSection = SameName(name, section);
      if (inSection) at.section = at.lastOfSection = i;
      continue;
    }
    if (!inSection) continue;
    if (!Trim(lines[i].text).empty()) at.lastOfSection = i;
    std::string_view entryKey, value;
    if (at.entry == std::string_view::npos && Entry(lines[i].text, &entryKey, &value) &&
        SameName(entryKey, key)) {
      at.entry = i;
    }
  }
  return at;
}

}  // namespace

std::string ReadValue(std::string_view fileText, std::string_view section, std::string_view key) {
  return FindValue(fileText, section, key).value_or(std::string());
}

std::optional<std::string> FindValue(std::string_view fileText, std::string_view section, std::string_view key) {
  const std::vector<Line> lines = SplitLines(SkipUtf8Mark(fileText));
  const Position at = Find(lines, Trim(section), Trim(key));
  if (at.entry == std::string_view::npos) return std::nullopt;
  std::string_view entryKey, value;
  Entry(lines[at.entry].text, &entryKey, &value);
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::vector<std::string> Sections(std::string_view fileText) {
  std::vector<std::string> sections;
  for (const Line& line : SplitLines(SkipUtf8Mark(fileText))) {
    std::string_view name;
    if (SectionName(line.text, &name)) sections.emplace_back(name);
  }
  return sections;
}

std::vector<std::string> Keys(std::string_view fileText, std::string_view section) {
  std::vector<std::string> keys;
  bool inSection = false, seen = false;
  for (const Line& line : SplitLines(SkipUtf8Mark(fileText))) {
    std::string_view name;
    if (SectionName(line.text, &name)) {
      if (seen && inSection) break;  // first matching section only
      inSection = SameName(name, Trim(section));
      seen = seen || inSection;
      continue;
    }
    std::string_view key, value;
    if (inSection && Entry(line.text, &key, &value) && line.text.find('=') != std::string_view::npos) {
      keys.emplace_back(key);
    }
  }
  return keys;
}

std::string WriteValue(std::string_view fileText, std::string_view section, std::string_view key,
                       std::string_view value) {
  const std::string_view mark = fileText.substr(0, fileText.size() - SkipUtf8Mark(fileText).size());
  const std::vector<Line> lines = SplitLines(fileText.substr(mark.size()));
  const Position at = Find(lines, Trim(section), Trim(key));
  // An existing line keeps the key as the file spells it.
  std::string_view spelling = Trim(key), ignored;
  if (at.entry != std::string_view::npos) Entry(lines[at.entry].text, &spelling, &ignored);
  const std::string entry = std::string(spelling) + "=" + std::string(value);

  std::string out(mark);
  const auto append = [&out](const Line& line) {
    out.append(line.text);
    out.append(line.end);
  };
  const auto appendNew = [&out](std::string_view text) {
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out.append(text);
    out += "\r\n";
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == at.entry) {
      out += entry;
      out.append(lines[i].end.empty() ? std::string_view("\r\n") : lines[i].end);
      continue;
    }
    append(lines[i]);
    if (at.entry == std::string_view::npos && i == at.lastOfSection) appendNew(entry);
  }
  if (at.section == std::string_view::npos) {
    appendNew("[" + std::string(Trim(section)) + "]");
    out += entry + "\r\n";
  }
  return out;
}

std::string ReadFile(const std::string& section, const std::string& key, std::size_t bufferSize,
                     const std::string& path) {
  if (bufferSize == 0) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  std::string value = ReadValue(text.str(), section, key);
  if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
  return value;
}

std::int32_t WriteFile(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& path) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream content;
      content << in.rdbuf();
      text = content.str();
    }
  }
  const std::string updated = WriteValue(text, section, key, value);
  // Write beside the file and move it in place, so a failed write never
  // leaves half a file.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return 0;
    out << updated;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return 0;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 0;
  }
  return 1;
}

}  // namespace qel::profile
