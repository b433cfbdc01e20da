// The state file's rules, natively: what a reader takes from a text, and how
// the library rewrites it. The library's behaviour through its exports is
// checked under Wine by socket_test.cpp.
#include "simswitch/state_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qel::simswitch::AddressKey;
using qel::simswitch::StateWithWord;
using qel::simswitch::SwitchesInState;
using qel::simswitch::WordInState;

TEST(StateFile, WordOfAnAddress) {
  const struct {
    const char* what;
    const char* text;
    const char* address;
    std::int32_t word;
  } cases[] = {
      {"LF lines", "a=5\nb=6\n", "b", 6},
      {"CRLF lines", "a=5\r\nb=6\r\n", "a", 5},
      {"no line end after the last line", "a=5\nb=6", "b", 6},
      {"blanks and tabs around both parts", " \t a b \t=\t -7 \t\r\n", "a b", -7},
      {"blank lines between", "\n\r\n \t\r\na=3\n\n", "a", 3},
      {"the last '=' separates", "a=b=9\n", "a=b", 9},
      {"... so the part before it is no address of its own", "a=b=9\n", "a", 0},
      {"the empty address", "=5\n", "", 5},
      {"the last line for an address counts", "a=1\nb=2\na=3\n", "a", 3},
      {"a malformed later line does not count", "a=1\na=x\n", "a", 1},
      {"comment lines", "#a=4\n  # a=4\n", "a", 0},
      {"a comment is not an address", "#a=4\n", "#a", 0},
      {"no '=', no word, a blank inside the word", "a\na=\na=1 2\n", "a", 0},
      {"hexadecimal is malformed", "a=0x10\n", "a", 0},
      {"a plus sign", "a=+5\n", "a", 5},
      {"18 digits", "a=000000000000000007\n", "a", 7},
      {"19 digits are malformed", "a=0000000000000000007\n", "a", 0},
      {"16 bits: 65535 is -1", "a=65535\n", "a", -1},
      {"16 bits: 32768 is -32768", "a=32768\n", "a", -32768},
      {"16 bits: -32769 is 32767", "a=-32769\n", "a", 32767},
      {"16 bits: 70000 is 4464", "a=70000\n", "a", 4464},
      {"16 bits of 18 digits", "a=999999999999999999\n", "a", -1},
      {"16 bits of 18 negative digits", "a=-999999999999999999\n", "a", 1},
      {"addresses are compared exactly", "A=1\n", "a", 0},
      {"an empty file", "", "a", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(WordInState(c.text, c.address), c.word);
  }
}

TEST(StateFile, EverySwitchInTheOrderOfItsFirstLine) {
  const auto switches = SwitchesInState("b=1\r\n# c=3\r\na=2\r\nb=-1\r\nbad\r\n=0\r\n");
  ASSERT_EQ(switches.size(), 3u);
  EXPECT_EQ(switches[0].address, "b");
  EXPECT_EQ(switches[0].word, -1);
  EXPECT_EQ(switches[1].address, "a");
  EXPECT_EQ(switches[1].word, 2);
  EXPECT_EQ(switches[2].address, "");
  EXPECT_EQ(switches[2].word, 0);
  EXPECT_TRUE(SwitchesInState("# only a comment\n\n").empty());
}

TEST(StateFile, Rewrite) {
  const struct {
    const char* what;
    const char* text;
    std::int32_t word;
    const char* expected;
  } cases[] = {
      {"adds a line to an empty file", "", 5, "a=5\n"},
      {"replaces the first line, drops the later ones", "a=1\nb=2\n a = 3\n", -1, "a=-1\nb=2\n"},
      {"keeps other lines, comments and malformed ones, all ending in LF", "# x\r\nb=2\r\nbad", 4,
       "# x\nb=2\nbad\na=4\n"},
      {"a blank line stays", "b=2\n\nb=3\n", 0, "b=2\n\nb=3\na=0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(StateWithWord(c.text, "a", c.word), c.expected);
  }
}

TEST(StateFile, AddressAsKept) {
  EXPECT_EQ(AddressKey(" \t192.168.1.10 "), "192.168.1.10");
  EXPECT_EQ(AddressKey("a\r\nb"), "a??b");
  EXPECT_EQ(AddressKey(" a\n"), "a?");
  EXPECT_EQ(AddressKey(""), "");
}

}  // namespace
