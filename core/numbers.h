// Number conversions shared by the command script, outlet control and the
// window: strict (whole text, user locale), lenient (leading number, "."),
// rounding, narrowing to 16 and 32 bits, and whole numbers as decimal text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/platform.h"

namespace qel {

// The whole text must be a number: blanks around it, an optional sign,
// digits with the locale's decimal separator and digit grouping, an optional
// exponent. Raises kTypeMismatch otherwise, kOverflow beyond a double.
double StrictNumber(std::wstring_view text, const NumberSeparators& separators);
// The same for a number a user typed or wrote into ip.ini: full-width
// digits, signs and decimal point (as an IME types them) are first folded to
// their ASCII forms by the platform, then converted with the user locale's
// separators. "１２８" is 128.
double StrictNumber(Platform& platform, std::wstring_view text);

// Reads a number from the start of the text. Blanks, tabs and line feeds are
// passed over wherever they stand; then sign, digits, "." and fraction, an
// exponent ("E" or "D"); stops at the first character that cannot continue.
// No digits reads as 0. Raises only kOverflow, beyond a double.
double LenientNumber(std::wstring_view text);

// Largest whole number not above the value (12.9 -> 12, -1.5 -> -2).
double RoundDown(double value);
// Nearest whole number, ties to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Narrowing of a whole number; kOverflow outside the width.
std::int16_t ToInt16(double wholeNumber);
std::int32_t ToInt32(double wholeNumber);
std::int16_t NarrowToInt16(std::int32_t value);

// 16-bit arithmetic with the overflow error.
std::int16_t AddInt16(std::int16_t a, std::int16_t b);
std::int16_t MultiplyInt16(std::int16_t a, std::int16_t b);

// Decimal digits with a leading "-" for a negative value, no blanks.
std::wstring KeyText(std::int32_t value);

// A whole number as decimal digits, "-" before a negative one, no blanks:
// the text std::to_wstring writes. Every number the program shows or writes
// goes through here, so that qel.exe links none of the C runtime's printf
// family (std::to_wstring formats with it). Inline, so that the benchmark's
// baseline window, which links no core, can use it too.
template <typename Whole>
std::wstring DecimalText(Whole value) {
  static_assert(std::is_integral_v<Whole> && !std::is_same_v<Whole, bool>, "a whole number");
  using Magnitude = std::make_unsigned_t<Whole>;
  bool negative = false;
  Magnitude magnitude = static_cast<Magnitude>(value);
  if constexpr (std::is_signed_v<Whole>) {
    negative = value < 0;
    // Negated as unsigned, so that the smallest value keeps its magnitude.
    if (negative) magnitude = static_cast<Magnitude>(Magnitude{0} - magnitude);
  }
  wchar_t digits[24];  // the 20 digits of the largest 64-bit value and a sign
  wchar_t* first = digits + sizeof digits / sizeof digits[0];
  wchar_t* const end = first;
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude = static_cast<Magnitude>(magnitude / 10);
  } while (magnitude != 0);
  if (negative) *--first = L'-';
  return std::wstring(first, end);
}

}  // namespace qel
