// libFuzzer target: our profile-file layer, profile::ReadValue and
// profile::WriteValue, and ReadFile / WriteFile on a real file, over any file
// text. The input is: the key up to the first line feed, the value up to the
// second, and the rest the file text (any bytes).
//
// A line of the file holds one key=value entry, so only what such a line can
// hold is written: key and value without CR or LF; a key without "=", not
// blank, and not starting (after blanks) with "[" (a section header) or ";"
// (a comment). Other inputs are only read. What must hold, with
// result = WriteValue(file, "Qelmark", key, value):
//  - ReadValue(result, "Qelmark", key) is the value with the white space the
//    profile functions trim (blank, tab, VT, FF, CR, Ctrl-Z) around it removed and then one pair of matching enclosing quote marks
//    (" or ') removed; read through a 1024-byte buffer it is cut to 1023 bytes;
//  - every other key of the file, in Qelmark or any other section, and this
//    key in every other section, reads as before;
//  - writing the same again changes nothing;
//  - WriteFile writes exactly WriteValue's text;
//  - the save's line-by-line check (CompareProfileCopy) takes the result for
//    a whole copy of the file with that key written, and the file for a
//    whole copy of itself, whenever each line that begins with "[" holds
//    one "]" (how a section's name ends in other lines is the system's
//    own: this layer ends it at the first "]", Wine at the last).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/profile_text_check.h"
#include "fuzz/fuzz_support.h"
#include "testing/profile_file.h"

namespace {

using qel::fuzz::Show;

constexpr char kSection[] = "Qelmark";
constexpr std::size_t kBufferSize = 1024;
constexpr std::size_t kMostOtherKeys = 16;  // of each kind; keeps an input cheap

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool Writable(std::string_view key, std::string_view value) {
  const std::string_view name = Trim(key);
  return key.find_first_of("\r\n=") == std::string_view::npos && value.find_first_of("\r\n") == std::string_view::npos &&
         !name.empty() && name.front() != '[' && name.front() != ';';
}

// What reading the written value gives back.
std::string Expected(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// Names of sections and keys that appear in the file text, found by a plain
// look at its lines. Which of them the layer sees as entries does not
// matter: each is read before and after the write and compared.
std::vector<std::pair<std::string, std::string>> NamesIn(std::string_view file, std::string_view key) {
  std::vector<std::pair<std::string, std::string>> names;
  std::vector<std::string> sections;
  std::string section;
  while (!file.empty() && names.size() < kMostOtherKeys) {
    const std::size_t lf = file.find('\n');
    std::string_view line = file.substr(0, lf);
    file.remove_prefix(lf == std::string_view::npos ? file.size() : lf + 1);
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = std::string(Trim(line.substr(1, line.find(']') == std::string_view::npos ? line.npos
                                                                                          : line.find(']') - 1)));
      sections.push_back(section);
    } else {
      names.emplace_back(section, std::string(Trim(line.substr(0, line.find('=')))));
    }
  }
  for (std::size_t i = 0; i < sections.size() && i < kMostOtherKeys; ++i) names.emplace_back(sections[i], key);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

// Each line that begins (after blanks, and after the file's UTF-8 mark) with
// "[" holds exactly one "]".
bool PlainHeaders(std::string_view file) {
  if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);
  while (!file.empty()) {
    const std::size_t end = file.find_first_of("\r\n");
    const std::string_view line = Trim(file.substr(0, end));
    file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
    if (!line.empty() && line.front() == '[' && std::count(line.begin(), line.end(), ']') != 1) return false;
  }
  return true;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One scratch file per process, removed when the process ends normally.
struct ScratchFile {
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir && *dir ? dir : "/tmp") + "/qel-profile-fuzz-" + std::to_string(getpid()) + ".ini";
  }
  ~ScratchFile() { std::remove(path.c_str()); }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t keyEnd = std::min(input.find('\n'), input.size());
  const std::string_view key = input.substr(0, keyEnd);
  const std::string_view rest = input.substr(std::min(keyEnd + 1, input.size()));
  const std::size_t valueEnd = std::min(rest.find('\n'), rest.size());
  const std::string_view value = rest.substr(0, valueEnd);
  const std::string_view file = rest.substr(std::min(valueEnd + 1, rest.size()));

  (void)qel::profile::ReadValue(file, kSection, key);
  if (!Writable(key, value)) return 0;

  // The input, for a report.
  const auto where = [&] { return "key [" + Show(key) + "] value [" + Show(value) + "] file [" + Show(file) + "]"; };
  const std::string result = qel::profile::WriteValue(file, kSection, key, value);
  const std::string expected = Expected(value);
  const std::string read = qel::profile::ReadValue(result, kSection, key);
  QEL_FUZZ_CHECK(read == expected, where() + ": reads back [" + Show(read) + "], written file [" + Show(result) + "]");

  for (const auto& [section, name] : NamesIn(file, key)) {
    if (SameName(section, kSection) && SameName(name, key)) continue;
    const std::string was = qel::profile::ReadValue(file, section, name);
    const std::string is = qel::profile::ReadValue(result, section, name);
    QEL_FUZZ_CHECK(was == is, where() + ": [" + Show(section) + "] " + Show(name) + " was [" + Show(was) + "], is [" +
                                  Show(is) + "], written file [" + Show(result) + "]");
  }

  const std::string keyName(key);
  QEL_FUZZ_CHECK(!qel::CompareProfileCopy(file, file, kSection, {keyName}, {}), where() + ": the file is not whole beside itself");
  if (PlainHeaders(file)) {
    const std::optional<qel::CopyMismatch> mismatch = qel::CompareProfileCopy(file, result, kSection, {keyName}, {});
    QEL_FUZZ_CHECK(!mismatch, where() + ": the written file [" + Show(result) + "] is refused at line " +
                                  std::to_string(mismatch ? mismatch->line : 0));
  }

  const std::string again = qel::profile::WriteValue(result, kSection, key, value);
  QEL_FUZZ_CHECK(again == result, where() + ": written once [" + Show(result) + "], twice [" + Show(again) + "]");

  // The same through a real file and a 1024-byte buffer.
  static const ScratchFile scratch;
  const std::string& path = scratch.path;
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << file; }
  const std::string keyText(key), valueText(value);
  QEL_FUZZ_CHECK(qel::profile::WriteFile(kSection, keyText, valueText, path) != 0, where() + ": WriteFile failed");
  QEL_FUZZ_CHECK(Slurp(path) == result, where() + ": WriteFile wrote another text than WriteValue");
  const std::string cut = qel::profile::ReadFile(kSection, keyText, kBufferSize, path);
  QEL_FUZZ_CHECK(cut == expected.substr(0, kBufferSize - 1), where() + ": ReadFile gives [" + Show(cut) + "]");
  return 0;
}
