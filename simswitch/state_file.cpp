#include "simswitch/state_file.h"

namespace qel::simswitch {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The lines of the text, split at LF; the text after the last LF is a line
// too (empty when the text ends in LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (;;) {
    const std::size_t at = text.find('\n');
    lines.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return lines;
    text.remove_prefix(at + 1);
  }
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool ParseDecimal(std::string_view text, std::int64_t& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return false;
  std::int64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  value = negative ? -result : result;
  return true;
}

std::int32_t Narrow16(std::int64_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = '?';
  }
  return line;
}

std::string AddressKey(std::string_view address) { return std::string(Trim(OneLine(address))); }

bool ParseStateLine(std::string_view line, std::string_view& address, std::int32_t& word) {
  line = Trim(WithoutCarriageReturn(line));
  if (line.empty() || line.front() == '#') return false;
  const std::size_t equals = line.rfind('=');
  if (equals == std::string_view::npos) return false;
  std::int64_t value = 0;
  if (!ParseDecimal(Trim(line.substr(equals + 1)), value)) return false;
  address = Trim(line.substr(0, equals));
  word = Narrow16(value);
  return true;
}

std::int32_t WordInState(std::string_view text, std::string_view address) {
  std::int32_t found = 0;
  for (std::string_view line : Lines(text)) {
    std::string_view key;
    std::int32_t word = 0;
    if (ParseStateLine(line, key, word) && key == address) found = word;
  }
  return found;
}

std::vector<StateSwitch> SwitchesInState(std::string_view text) {
  std::vector<StateSwitch> switches;
  for (std::string_view line : Lines(text)) {
    std::string_view key;
    std::int32_t word = 0;
    if (!ParseStateLine(line, key, word)) continue;
    bool known = false;
    for (StateSwitch& known_switch : switches) {
      if (known_switch.address == key) {
        known_switch.word = word;
        known = true;
        break;
      }
    }
    if (!known) switches.push_back({std::string(key), word});
  }
  return switches;
}

std::string StateWithWord(std::string_view text, std::string_view address, std::int32_t word) {
  const std::string own = std::string(address) + "=" + std::to_string(word) + "\n";
  std::string result;
  bool placed = false;
  std::vector<std::string_view> lines = Lines(text);
  if (!lines.empty() && lines.back().empty()) lines.pop_back();  // after the final line end
  for (std::string_view line : lines) {
    std::string_view key;
    std::int32_t ignored = 0;
    if (ParseStateLine(line, key, ignored) && key == address) {
      if (!placed) result += own;
      placed = true;
      continue;
    }
    line = WithoutCarriageReturn(line);
    result.append(line.data(), line.size());
    result += '\n';
  }
  if (!placed) result += own;
  return result;
}

}  // namespace qel::simswitch
