#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "core/errors.h"

namespace qel {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsStrictBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsLenientBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }

bool StartsWith(std::wstring_view text, std::size_t at, std::wstring_view prefix) {
  return !prefix.empty() && text.substr(at, prefix.size()) == prefix;
}

// A number spelled in plain ASCII: optional "-", mantissa digits with an
// optional ".", optional "e" and exponent digits. Both conversions build one
// and leave the arithmetic to from_chars, which is exact and locale-free.
struct Spelling {
  bool negative = false;
  std::string integerDigits;
  std::string fractionDigits;
  bool exponentNegative = false;
  std::string exponentDigits;
};

double Evaluate(const Spelling& s, const char* what) {
  std::string text;
  text.reserve(s.integerDigits.size() + s.fractionDigits.size() + s.exponentDigits.size() + 4);
  if (s.negative) text += '-';
  text += s.integerDigits.empty() ? "0" : s.integerDigits;
  if (!s.fractionDigits.empty()) text += '.' + s.fractionDigits;
  if (!s.exponentDigits.empty()) {
    text += s.exponentNegative ? "e-" : "e";
    text += s.exponentDigits;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc() && end == text.data() + text.size() && std::isfinite(value)) return value;
  if (ec != std::errc::result_out_of_range && ec != std::errc()) {
    throw RuntimeError(ErrorKind::kTypeMismatch, what);  // not reached for a valid spelling
  }
  // Out of range: tell overflow from underflow by the exponent of the first
  // significant digit.
  const std::string digits = s.integerDigits + s.fractionDigits;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return s.negative ? -0.0 : 0.0;
  long long exponent = static_cast<long long>(s.integerDigits.size()) - static_cast<long long>(first);
  const std::string& e = s.exponentDigits;
  const std::size_t eFirst = e.find_first_not_of('0');
  if (eFirst != std::string::npos) {
    if (e.size() - eFirst > 6) {
      exponent += s.exponentNegative ? -10000000 : 10000000;
    } else {
      const long long magnitude = std::stoll(e.substr(eFirst));
      exponent += s.exponentNegative ? -magnitude : magnitude;
    }
  }
  if (exponent > 0) throw RuntimeError(ErrorKind::kOverflow, what);
  return s.negative ? -0.0 : 0.0;
}

}  // namespace

double StrictNumber(std::wstring_view text, const NumberSeparators& separators) {
  const auto mismatch = [] { return RuntimeError(ErrorKind::kTypeMismatch, "not a number"); };
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsStrictBlank(text[i])) ++i;

  Spelling s;
  if (i < n && (text[i] == L'+' || text[i] == L'-')) {
    s.negative = text[i] == L'-';
    ++i;
  }
  // Integer part: digits, with grouping separators only between digits.
  while (i < n) {
    if (IsDigit(text[i])) {
      s.integerDigits += static_cast<char>(text[i]);
      ++i;
    } else if (!s.integerDigits.empty() && !StartsWith(text, i, separators.decimal) &&
               StartsWith(text, i, separators.grouping) &&
               i + separators.grouping.size() < n && IsDigit(text[i + separators.grouping.size()])) {
      i += separators.grouping.size();
    } else {
      break;
    }
  }
  if (StartsWith(text, i, separators.decimal)) {
    i += separators.decimal.size();
    while (i < n && IsDigit(text[i])) s.fractionDigits += static_cast<char>(text[i++]);
  }
  if (s.integerDigits.empty() && s.fractionDigits.empty()) throw mismatch();
  if (i < n && (text[i] == L'e' || text[i] == L'E')) {
    ++i;
    if (i < n && (text[i] == L'+' || text[i] == L'-')) {
      s.exponentNegative = text[i] == L'-';
      ++i;
    }
    while (i < n && IsDigit(text[i])) s.exponentDigits += static_cast<char>(text[i++]);
    if (s.exponentDigits.empty()) throw mismatch();
  }
  while (i < n && IsStrictBlank(text[i])) ++i;
  if (i != n) throw mismatch();
  return Evaluate(s, "number beyond the double range");
}

double StrictNumber(Platform& platform, std::wstring_view text) {
  return StrictNumber(platform.FoldFullWidth(text), platform.Separators());
}

double LenientNumber(std::wstring_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  const auto skipBlanks = [&] {
    while (i < n && IsLenientBlank(text[i])) ++i;
  };

  Spelling s;
  skipBlanks();
  if (i < n && (text[i] == L'+' || text[i] == L'-')) {
    s.negative = text[i] == L'-';
    ++i;
  }
  for (skipBlanks(); i < n && IsDigit(text[i]); skipBlanks()) s.integerDigits += static_cast<char>(text[i++]);
  if (i < n && text[i] == L'.') {
    ++i;
    for (skipBlanks(); i < n && IsDigit(text[i]); skipBlanks()) s.fractionDigits += static_cast<char>(text[i++]);
  }
  if (s.integerDigits.empty() && s.fractionDigits.empty()) return 0;
  if (i < n && (text[i] == L'E' || text[i] == L'e' || text[i] == L'D' || text[i] == L'd')) {
    ++i;
    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == L'+' || text[i] == L'-')) {
      negative = text[i] == L'-';
      ++i;
    }
    std::string digits;
    for (skipBlanks(); i < n && IsDigit(text[i]); skipBlanks()) digits += static_cast<char>(text[i++]);
    // An exponent mark without digits cannot continue the number.
    if (!digits.empty()) {
      s.exponentNegative = negative;
      s.exponentDigits = std::move(digits);
    }
  }
  return Evaluate(s, "number beyond the double range");
}

double RoundDown(double value) { return std::floor(value); }

double RoundHalfEven(double value) {
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction > 0.5) return below + 1;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

std::int16_t ToInt16(double wholeNumber) {
  if (!(wholeNumber >= -32768.0 && wholeNumber <= 32767.0)) {
    throw RuntimeError(ErrorKind::kOverflow, "value outside 16 bits");
  }
  return static_cast<std::int16_t>(wholeNumber);
}

std::int32_t ToInt32(double wholeNumber) {
  if (!(wholeNumber >= -2147483648.0 && wholeNumber <= 2147483647.0)) {
    throw RuntimeError(ErrorKind::kOverflow, "value outside 32 bits");
  }
  return static_cast<std::int32_t>(wholeNumber);
}

std::int16_t NarrowToInt16(std::int32_t value) {
  if (value < -32768 || value > 32767) throw RuntimeError(ErrorKind::kOverflow, "value outside 16 bits");
  return static_cast<std::int16_t>(value);
}

std::int16_t AddInt16(std::int16_t a, std::int16_t b) { return NarrowToInt16(std::int32_t{a} + b); }

std::int16_t MultiplyInt16(std::int16_t a, std::int16_t b) { return NarrowToInt16(std::int32_t{a} * b); }

std::wstring KeyText(std::int32_t value) { return DecimalText(value); }

}  // namespace qel
