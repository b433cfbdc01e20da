#include "core/profile_text_check.h"

#include <gtest/gtest.h>

#include "testing/profile_file.h"

namespace qel {
namespace {

// As a user's hand keeps it: a comment before ours, a blank line, a section
// of its own with a comment and a long value, every line ended by CR LF.
const std::string kHandMade =
    "; the switch in the hall\r\n"   // 1
    "[Qelmark]\r\n"                  // 2
    "IP=10.0.0.7\r\n"                // 3
    "SW1=1\r\n"                      // 4
    "CMD1=a.exe\r\n"                 // 5
    "\r\n"                           // 6
    "[Other]\r\n"                    // 7
    "; kept by hand\r\n"             // 8
    "Long=" + std::string(1500, 'v') + "\r\n";  // 9

// kHandMade with its line `number` (1-based) replaced by `text` (which
// carries its own line end; empty: the line removed).
std::string WithLine(std::size_t number, const std::string& text) {
  std::string file = kHandMade;
  std::size_t start = 0;
  for (std::size_t line = 1; line < number; ++line) start = file.find("\r\n", start) + 2;
  const std::size_t end = file.find("\r\n", start) + 2;
  return file.replace(start, end - start, text);
}

// A save of IP and CMD1 as Windows' profile functions write it: those two
// lines replaced where they stand, every other byte kept.
const std::string kSavedInPlace = WithLine(5, "CMD1=x.exe\r\n").replace(kHandMade.find("IP=10.0.0.7"), 11, "IP=10.1.1.1");

// The lead bytes of Shift-JIS (code page 932).
const LeadBytes kShiftJis = [] {
  LeadBytes lead;
  for (unsigned byte = 0x81; byte <= 0xFC; ++byte) lead.set(byte, byte <= 0x9F || byte >= 0xE0);
  return lead;
}();

struct CompareCase {
  const char* what;
  std::string original;
  std::string copy;
  std::vector<std::string> written;
  std::optional<CopyMismatch> expected;
  LeadBytes leadBytes = {};  // none: a single-byte code page, or UTF-8
};

using K = CopyMismatchKind;

TEST(CompareProfileCopy, LetsPassWhatTheProfileFunctionsWriteAndNothingElse) {
  // 1300 of the 1500 bytes of the long value: a read gives the first 1023
  // of them either way.
  const std::string cutBeyondARead = kSavedInPlace.substr(0, kSavedInPlace.size() - 202);
  const CompareCase cases[] = {
      // What a save writes.
      {"nothing written, nothing changed", kHandMade, kHandMade, {}, std::nullopt},
      {"the written keys' lines replaced in place", kHandMade, kSavedInPlace, {"IP", "CMD1"}, std::nullopt},
      {"names compared in any letter case", kHandMade, kSavedInPlace, {"ip", "Cmd1"}, std::nullopt},
      {"a key the file lacked, added to the section", kHandMade,
       WithLine(5, "CMD1=a.exe\r\nCMD2=new.exe\r\n"), {"CMD2"}, std::nullopt},
      {"the section added at the end", "[Other]\r\nX=1\r\n", "[Other]\r\nX=1\r\n[Qelmark]\r\nIP=10.1.1.1\r\n",
       {"IP"}, std::nullopt},
      {"no file before", "", "[Qelmark]\r\nIP=10.1.1.1\r\nSW1=1\r\n", {"IP", "SW1"}, std::nullopt},
      // Wine's profile functions write the whole file anew: this pair is
      // what Wine 8.0 made of such a file when CMD2 was written.
      {"Wine's rewrite: blank lines, blanks, text after ']', LF and the missing line end",
       "; lead comment\r\n\r\n  [Qelmark]  ; trailing\r\nIP = 10.0.0.7  \r\n\r\nSW1=1\nCMD1\r\n\tX=  a b  \r\n"
       "[Other]\r\nY=2\r\n\r\n\r\nlast=val   ",
       "; lead comment\r\n[Qelmark]\r\nIP=10.0.0.7\r\nSW1=1\r\nCMD1\r\nX=a b\r\nCMD2=new\r\n[Other]\r\nY=2\r\n"
       "last=val\r\n",
       {"CMD2"}, std::nullopt},
      {"a last line without a line end may stay so", "[Qelmark]\r\nIP=1\r\n[Other]\r\nX=1",
       "[Qelmark]\r\nIP=2\r\n[Other]\r\nX=1", {"IP"}, std::nullopt},
      {"lines ended by a lone CR", "[Qelmark]\rIP=1\r[Other]\rX=1\r", "[Qelmark]\rIP=2\r[Other]\rX=1\r", {"IP"},
       std::nullopt},
      {"the byte-order mark kept", "\xEF\xBB\xBF[Qelmark]\r\nIP=1\r\n", "\xEF\xBB\xBF[Qelmark]\r\nIP=2\r\n", {"IP"},
       std::nullopt},
      {"an old DOS file: Ctrl-Z at a line's end and as the last line, dropped",
       "[Qelmark]\r\nIP=1\r\n[Other]\r\nX=1\x1A\r\n\x1A", "[Qelmark]\r\nIP=2\r\n[Other]\r\nX=1\r\n", {"IP"},
       std::nullopt},
      {"blanks inside the section's brackets", "[ Qelmark ]\r\nIP=1\r\n", "[ Qelmark ]\r\nIP=2\r\n", {"IP"},
       std::nullopt},
      // In Shift-JIS "ソ" is 0x83 0x5C and "ゾ" 0x83 0x5D: their second bytes
      // are those of "\\" and "]", which the profile functions do not see.
      {"Shift-JIS: Wine's rewrite drops the text after a header, which ends in ゾ",
       "; \x83\x5C\x83t\x83g\r\n[\x83\x5C\x83t\x83g]\r\nX = 1\r\n[Qelmark]  ; \x83\x5D\r\nIP=1\r\n",
       "; \x83\x5C\x83t\x83g\r\n[\x83\x5C\x83t\x83g]\r\nX=1\r\n[Qelmark]\r\nIP=2\r\n", {"IP"}, std::nullopt, kShiftJis},

      // What a full disk, or anything else, does to the copy.
      {"a cut tail: the long value ends early, no line end", kHandMade,
       kSavedInPlace.substr(0, kSavedInPlace.size() - 600), {"IP", "CMD1"}, CopyMismatch{K::kLineChanged, 9}},
      {"a cut tail beyond what a read gives", kHandMade, cutBeyondARead, {"IP", "CMD1"}, CopyMismatch{K::kLineChanged, 9}},
      {"a cut tail at a line end: the last line lost", kHandMade, WithLine(9, ""), {}, CopyMismatch{K::kLineMissing, 9}},
      {"a cut comment", kHandMade + "; the end\r\n", kHandMade + "; the e", {}, CopyMismatch{K::kLineChanged, 10}},
      {"a comment lost", kHandMade, WithLine(8, ""), {}, CopyMismatch{K::kLineMissing, 8}},
      {"a lost section", kHandMade, kSavedInPlace.substr(0, kSavedInPlace.find("[Other]")), {"IP", "CMD1"},
       CopyMismatch{K::kLineMissing, 7}},
      {"a duplicated line", kHandMade, WithLine(8, "; kept by hand\r\n; kept by hand\r\n"), {},
       CopyMismatch{K::kLineAdded, 9}},
      {"a line added at the end", kHandMade, kHandMade + "X=1\r\n", {}, CopyMismatch{K::kLineAdded, 10}},
      {"a missing last line end", kHandMade, kHandMade.substr(0, kHandMade.size() - 2), {},
       CopyMismatch{K::kEndCut, 9}},
      {"a cut between CR and LF", kHandMade, kHandMade.substr(0, kHandMade.size() - 1), {}, CopyMismatch{K::kEndCut, 9}},
      {"a cut in the blanks at the end of the last line", "[Qelmark]\r\nIP=1\r\nX=1   \r\n", "[Qelmark]\r\nIP=2\r\nX=1 ",
       {"IP"}, CopyMismatch{K::kEndCut, 3}},
      {"a cut in a written line at the end", "[Qelmark]\r\nIP=1\r\n", "[Qelmark]\r\nIP=10.1", {"IP"},
       CopyMismatch{K::kEndCut, 2}},
      {"an empty copy", kHandMade, "", {"IP"}, CopyMismatch{K::kLineMissing, 1}},
      {"a key not written, changed", kHandMade, WithLine(4, "SW1=2\r\n"), {"IP"}, CopyMismatch{K::kLineChanged, 4}},
      {"a key not written, added", kHandMade, WithLine(5, "CMD1=a.exe\r\nCMD2=new.exe\r\n"), {"CMD1"},
       CopyMismatch{K::kLineAdded, 7}},
      {"a written key of another section", "[Qelmark]\r\nIP=1\r\n[Other]\r\nIP=5\r\n",
       "[Qelmark]\r\nIP=2\r\n[Other]\r\nIP=6\r\n", {"IP"}, CopyMismatch{K::kLineChanged, 4}},
      {"a written key in a second section of that name",
       "[Qelmark]\r\nIP=1\r\n[Qelmark]\r\nIP=old\r\n", "[Qelmark]\r\nIP=2\r\n[Qelmark]\r\nIP=new\r\n", {"IP"},
       CopyMismatch{K::kLineChanged, 4}},
      {"a section header added though the file had one", kHandMade,
       kHandMade + "[Qelmark]\r\nIP=10.1.1.1\r\n", {"IP"}, CopyMismatch{K::kLineAdded, 10}},
      {"a value's inner blanks changed", "[Other]\r\nX=a b\r\n", "[Other]\r\nX=a  b\r\n", {}, CopyMismatch{K::kLineChanged, 2}},
      {"the byte-order mark lost", "\xEF\xBB\xBF[Qelmark]\r\nIP=1\r\n", "[Qelmark]\r\nIP=2\r\n", {"IP"},
       CopyMismatch{K::kLineChanged, 1}},
      {"a byte-order mark gained", "[Qelmark]\r\nIP=1\r\n", "\xEF\xBB\xBF[Qelmark]\r\nIP=2\r\n", {"IP"},
       CopyMismatch{K::kLineChanged, 1}},
      {"a single-byte code page: the same bytes end in a real ']', which the header keeps",
       "[Qelmark]  ; \x83\x5D\r\nIP=1\r\n", "[Qelmark]\r\nIP=2\r\n", {"IP"}, CopyMismatch{K::kLineMissing, 1}},
      // "ぁ" is 0xE3 0x81 0x81 in UTF-8: read as Shift-JIS, its last byte
      // would take the "]" after it.
      {"UTF-8 with its mark, where Shift-JIS is the code page: a key of section [ぁ] changed",
       "\xEF\xBB\xBF[Qelmark]\r\nIP=1\r\n[\xE3\x81\x81]\r\nIP=5\r\n",
       "\xEF\xBB\xBF[Qelmark]\r\nIP=2\r\n[\xE3\x81\x81]\r\nIP=6\r\n", {"IP"}, CopyMismatch{K::kLineChanged, 4}, kShiftJis},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<CopyMismatch> found = CompareProfileCopy(c.original, c.copy, "Qelmark", c.written, c.leadBytes);
    EXPECT_EQ(found.has_value(), c.expected.has_value());
    if (found && c.expected) {
      EXPECT_EQ(static_cast<int>(found->kind), static_cast<int>(c.expected->kind));
      EXPECT_EQ(found->line, c.expected->line);
    }
  }
}

// Every copy a disk cut short is found, by the comparison or, where the cut
// took only written lines, by reading the written values back (as the save
// does before it compares): each shorter prefix of a correct copy, which our
// own profile engine (writing as Windows does) saved into files of several
// shapes.
TEST(CompareProfileCopy, WithTheReadBackFindsEveryCutOfACorrectCopy) {
  const struct {
    const char* what;
    std::string original;
  } files[] = {
      {"ours first, a section of the user's last", kHandMade},
      {"ours last", "[Other]\r\nX=1\r\n; note\r\n[Qelmark]\r\nIP=10.0.0.7\r\nCMD1=a.exe\r\n"},
      {"no section of ours", "; only a comment\r\n[Other]\r\nX=" + std::string(1200, 'x') + "\r\n"},
      {"LF line ends", "[Qelmark]\nIP=10.0.0.7\n[Other]\nX=1\n"},
  };
  const std::vector<std::pair<std::string, std::string>> writes = {
      {"IP", "10.1.1.1"}, {"CMD1", "C:\\tools\\run.exe " + std::string(600, 'a')}, {"CMD3", "new.exe"}};
  std::vector<std::string> keys;
  for (const auto& write : writes) keys.push_back(write.first);
  for (const auto& file : files) {
    SCOPED_TRACE(file.what);
    std::string copy = file.original;
    for (const auto& [key, value] : writes) copy = profile::WriteValue(copy, "Qelmark", key, value);
    ASSERT_EQ(CompareProfileCopy(file.original, copy, "Qelmark", keys, {}), std::nullopt) << copy;
    std::size_t compared = 0;
    for (std::size_t size = 0; size < copy.size(); ++size) {
      const std::string cut = copy.substr(0, size);
      bool readsBack = true;
      for (const auto& [key, value] : writes) readsBack = readsBack && profile::FindValue(cut, "Qelmark", key) == value;
      if (!readsBack) continue;
      ++compared;
      EXPECT_NE(CompareProfileCopy(file.original, cut, "Qelmark", keys, {}), std::nullopt)
          << "cut to " << size << " of " << copy.size() << " bytes";
    }
    EXPECT_GT(compared, 0u) << "no cut left to the comparison";
  }
}

}  // namespace
}  // namespace qel
