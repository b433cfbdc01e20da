#include "core/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

struct StrictCase {
  const wchar_t* text;
  double value;  // ignored when an error is expected
  std::optional<ErrorKind> error;
};

TEST(StrictNumber, AcceptsWholeNumbersOnlyInDotLocale) {
  const NumberSeparators dot;  // "." and ","
  const StrictCase cases[] = {
      {L"0", 0, {}},
      {L"128", 128, {}},
      {L"  -12.9\t", -12.9, {}},
      {L"+5", 5, {}},
      {L".5", 0.5, {}},
      {L"5.", 5, {}},
      {L"1,234.5", 1234.5, {}},
      {L"1e3", 1000, {}},
      {L"2.5E-1", 0.25, {}},
      {L"1E+2", 100, {}},
      {L"1e-400", 0, {}},
      {L"00000000000000000000000000000042", 42, {}},
      {L"", 0, ErrorKind::kTypeMismatch},
      {L"   ", 0, ErrorKind::kTypeMismatch},
      {L"-", 0, ErrorKind::kTypeMismatch},
      {L".", 0, ErrorKind::kTypeMismatch},
      {L"x", 0, ErrorKind::kTypeMismatch},
      {L"1x", 0, ErrorKind::kTypeMismatch},
      {L"1 2", 0, ErrorKind::kTypeMismatch},
      {L"1e", 0, ErrorKind::kTypeMismatch},
      {L",5", 0, ErrorKind::kTypeMismatch},
      {L"5,", 0, ErrorKind::kTypeMismatch},
      {L"1.2.3", 0, ErrorKind::kTypeMismatch},
      {L"W5", 0, ErrorKind::kTypeMismatch},
      {L"\"1\"", 0, ErrorKind::kTypeMismatch},
      {L"1e400", 0, ErrorKind::kOverflow},
      {L"-1e99999999999999999999", 0, ErrorKind::kOverflow},
  };
  for (const StrictCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "text: [" << std::string(c.text, c.text + std::wcslen(c.text)) << "]");
    double value = -1;
    EXPECT_EQ(FailureOf([&] { value = StrictNumber(c.text, dot); }), c.error);
    if (!c.error) {
      EXPECT_DOUBLE_EQ(value, c.value);
    }
  }
}

TEST(StrictNumber, FollowsTheLocaleSeparators) {
  const NumberSeparators comma{L",", L"."};
  EXPECT_DOUBLE_EQ(StrictNumber(L"12,5", comma), 12.5);
  EXPECT_DOUBLE_EQ(StrictNumber(L"1.234,5", comma), 1234.5);
  EXPECT_EQ(FailureOf([&] { StrictNumber(L"1.5", comma); }), std::nullopt);  // grouping: 15
  EXPECT_DOUBLE_EQ(StrictNumber(L"1.5", comma), 15);
  EXPECT_EQ(FailureOf([&] { StrictNumber(L"1,2,3", comma); }), ErrorKind::kTypeMismatch);

  const NumberSeparators spaced{L".", L"\u00A0"};  // no-break space groups digits
  EXPECT_DOUBLE_EQ(StrictNumber(L"1\u00A0000", spaced), 1000);
}

// A number typed with an IME in full-width mode is the same number; the
// locale's separators still apply after folding.
TEST(StrictNumber, FoldsFullWidthFormsByThePlatformFirst) {
  FakePlatform platform;
  const StrictCase cases[] = {
      {L"１２８", 128, {}},
      {L"－１２．９", -12.9, {}},
      {L"＋５", 5, {}},
      {L"１，２３４", 1234, {}},
      {L"　７　", 7, {}},  // ideographic spaces around it
      {L"１ｅ３", 1000, {}},
      {L"３２７６８", 32768, {}},
      {L"１２ｘ", 0, ErrorKind::kTypeMismatch},
      {L"", 0, ErrorKind::kTypeMismatch},
      {L"１　２", 0, ErrorKind::kTypeMismatch},  // a blank between digits stays one
  };
  for (const StrictCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "text: [" << platform.ToAnsi(c.text).value_or("?") << "]");
    double value = -1;
    EXPECT_EQ(FailureOf([&] { value = StrictNumber(platform, c.text); }), c.error);
    if (!c.error) {
      EXPECT_DOUBLE_EQ(value, c.value);
    }
  }
  platform.separators = {L",", L"."};
  EXPECT_DOUBLE_EQ(StrictNumber(platform, L"１２，５"), 12.5);
}

struct LenientCase {
  const wchar_t* text;
  double value;
};

TEST(LenientNumber, ReadsTheLeadingNumber) {
  const LenientCase cases[] = {
      {L"", 0},          {L"x", 0},          {L"5", 5},          {L"2.5", 2.5},      {L"3.5xyz", 3.5},
      {L"1 2", 12},      {L" \t\n7", 7},     {L"- 5", -5},       {L"+4", 4},         {L"-3", -3},
      {L".5", 0.5},      {L"1.2.3", 1.2},    {L"1E2", 100},      {L"1D2", 100},      {L"1e-1", 0.1},
      {L"1E", 1},        {L"1E+", 1},        {L"1Ex", 1},        {L"12W3", 12},      {L"1,5", 1},
      {L"1e-400", 0},    {L"--1", 0},        {L"1 E 2", 100},    {L"1E -2", 0.01},   {L"1E- 2", 0.01},
  };
  for (const LenientCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "text: [" << std::string(c.text, c.text + std::wcslen(c.text)) << "]");
    EXPECT_DOUBLE_EQ(LenientNumber(c.text), c.value);
  }
  EXPECT_EQ(FailureOf([] { LenientNumber(L"1E400"); }), ErrorKind::kOverflow);
  EXPECT_EQ(FailureOf([] { LenientNumber(std::wstring(400, L'9')); }), ErrorKind::kOverflow);
}

// The conversion is exact: each text gives the double nearest to it, ties
// to the even neighbour, as the host's strtod (correctly rounded) gives it.
// Halfway cases, the ends of the double range, subnormals, and long digit
// strings whose rounding a digit far to the right decides.
TEST(LenientNumber, GivesTheNearestDouble) {
  std::vector<std::string> texts = {
      "9007199254740993",  // 2^53 + 1: a tie, to the even 2^53
      "9007199254740995",  // 2^53 + 3: a tie, to the even 2^53 + 4
      "9007199254740993" + std::string(900, '0') + "1e-901",  // just above the tie
      "0.1", "0.3", "1e23", "8.98846567431158e307", "123456789012345678901234567890",
      "1.7976931348623157e308", "1.7976931348623158e308",  // the largest double
      "2.2250738585072011e-308", "2.2250738585072014e-308",  // around the smallest normal
      "4.9406564584124654e-324", "2.4703282292062328e-324",  // the smallest subnormal
      "2.4703282292062327e-324", "1e-324",                   // below half of it: zero
      "0.000000000000000000000000000000000000000000000000001", "5e-1", "2.5", "0.5e1",
      "1" + std::string(700, '0') + "e-700", "0." + std::string(330, '0') + "5e330",
  };
  std::mt19937 random(20261211);
  for (int i = 0; i < 3000; ++i) {
    std::string text = std::to_string(random() % 10);
    const int length = 1 + static_cast<int>(random() % (i % 10 == 0 ? 60 : 20));
    for (int d = 0; d < length; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 2 != 0) text.insert(1 + random() % text.size(), ".");
    text += "e" + std::to_string(static_cast<int>(random() % 660) - 340);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const double expected = std::strtod(text.c_str(), nullptr);
    const std::wstring wide(text.begin(), text.end());
    if (std::isinf(expected)) {
      EXPECT_EQ(FailureOf([&] { LenientNumber(wide); }), ErrorKind::kOverflow);
      continue;
    }
    EXPECT_EQ(LenientNumber(wide), expected);
    EXPECT_EQ(LenientNumber(L"-" + wide), -expected);
    EXPECT_TRUE(std::signbit(LenientNumber(L"-" + wide)));
  }
}

TEST(Rounding, DownAndHalfToEven) {
  const struct {
    double value, down, nearest;
  } cases[] = {
      {12.9, 12, 13}, {-1.5, -2, -2}, {2.5, 2, 2},   {3.5, 3, 4},  {-2.5, -3, -2},
      {0.5, 0, 0},    {1.5, 1, 2},    {2.4999, 2, 2}, {-0.4, -1, -0.0}, {7, 7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RoundDown(c.value), c.down);
    EXPECT_EQ(RoundHalfEven(c.value), c.nearest);
  }
}

TEST(Narrowing, SixteenAndThirtyTwoBits) {
  EXPECT_EQ(ToInt16(32767), 32767);
  EXPECT_EQ(ToInt16(-32768), -32768);
  EXPECT_EQ(FailureOf([] { ToInt16(32768); }), ErrorKind::kOverflow);
  EXPECT_EQ(FailureOf([] { ToInt16(-32769); }), ErrorKind::kOverflow);
  EXPECT_EQ(ToInt32(-2147483648.0), INT32_MIN);
  EXPECT_EQ(FailureOf([] { ToInt32(2147483648.0); }), ErrorKind::kOverflow);
  EXPECT_EQ(FailureOf([] { NarrowToInt16(70000); }), ErrorKind::kOverflow);
  EXPECT_EQ(NarrowToInt16(32767), 32767);
  EXPECT_EQ(NarrowToInt16(-32768), -32768);
  EXPECT_EQ(FailureOf([] { NarrowToInt16(32768); }), ErrorKind::kOverflow);
  EXPECT_EQ(FailureOf([] { NarrowToInt16(-32769); }), ErrorKind::kOverflow);
  EXPECT_EQ(MultiplyInt16(3276, 10), 32760);
  EXPECT_EQ(FailureOf([] { MultiplyInt16(3277, 10); }), ErrorKind::kOverflow);
  EXPECT_EQ(MultiplyInt16(-3276, 10), -32760);
  EXPECT_EQ(FailureOf([] { AddInt16(32767, 1); }), ErrorKind::kOverflow);
}

TEST(KeyText, DecimalWithoutBlanks) {
  const struct {
    std::int32_t number;
    const wchar_t* text;
  } cases[] = {{3, L"3"}, {0, L"0"}, {-2, L"-2"}, {32767, L"32767"}, {-2147483647 - 1, L"-2147483648"}};
  for (const auto& c : cases) EXPECT_EQ(KeyText(c.number), c.text);
}

TEST(DecimalText, BoundariesOfEachWidth) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(7), L"7");
  EXPECT_EQ(DecimalText(-1), L"-1");
  EXPECT_EQ(DecimalText(std::int16_t{32767}), L"32767");
  EXPECT_EQ(DecimalText(std::int16_t{-32768}), L"-32768");
  EXPECT_EQ(DecimalText(std::uint16_t{65535}), L"65535");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::max()), L"2147483647");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), L"-2147483648");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::uint32_t>::max()), L"4294967295");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::max()), L"9223372036854775807");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), L"18446744073709551615");
  EXPECT_EQ(DecimalText(std::size_t{255}), L"255");
}

// The texts replace std::to_wstring's byte for byte: around every power of
// ten, on both sides of zero.
TEST(DecimalText, SameAsToWstring) {
  for (std::int64_t power = 1; power <= std::numeric_limits<std::int64_t>::max() / 10; power *= 10) {
    for (const std::int64_t near : {power - 1, power, power + 1}) {
      EXPECT_EQ(DecimalText(near), std::to_wstring(near));
      EXPECT_EQ(DecimalText(-near), std::to_wstring(-near));
      EXPECT_EQ(DecimalText(static_cast<std::uint64_t>(near)), std::to_wstring(static_cast<std::uint64_t>(near)));
      if (near <= std::numeric_limits<std::int32_t>::max()) {
        EXPECT_EQ(DecimalText(static_cast<std::int32_t>(-near)), std::to_wstring(static_cast<std::int32_t>(-near)));
        EXPECT_EQ(DecimalText(static_cast<unsigned>(near)), std::to_wstring(static_cast<unsigned>(near)));
      }
    }
  }
}

}  // namespace
}  // namespace qel
