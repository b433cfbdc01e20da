#include "core/numbers.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

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
// and leave the arithmetic to Evaluate.
struct Spelling {
  bool negative = false;
  std::string integerDigits;
  std::string fractionDigits;
  bool exponentNegative = false;
  std::string exponentDigits;
};

// A non-negative whole number of any size, 32 bits a word, lowest first;
// just what an exact decimal-to-binary conversion needs.
class BigWhole {
 public:
  explicit BigWhole(std::uint64_t value = 0) {
    for (; value != 0; value >>= 32) words_.push_back(static_cast<std::uint32_t>(value));
  }

  void MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& word : words_) {
      carry += std::uint64_t{word} * factor;
      word = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0) words_.push_back(static_cast<std::uint32_t>(carry));
  }

  BigWhole Times(const BigWhole& other) const {
    BigWhole product;
    if (words_.empty() || other.words_.empty()) return product;
    product.words_.assign(words_.size() + other.words_.size(), 0);
    for (std::size_t i = 0; i < words_.size(); ++i) {
      std::uint64_t carry = 0;
      for (std::size_t j = 0; j < other.words_.size(); ++j) {
        carry += std::uint64_t{words_[i]} * other.words_[j] + product.words_[i + j];
        product.words_[i + j] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
      }
      product.words_[i + other.words_.size()] = static_cast<std::uint32_t>(carry);
    }
    product.Trim();
    return product;
  }

  void ShiftLeft(long long bits) {
    if (words_.empty() || bits <= 0) return;
    words_.insert(words_.begin(), static_cast<std::size_t>(bits / 32), 0);
    const int rest = static_cast<int>(bits % 32);
    if (rest == 0) return;
    std::uint32_t carry = 0;
    for (std::uint32_t& word : words_) {
      const std::uint32_t next = word >> (32 - rest);
      word = (word << rest) | carry;
      carry = next;
    }
    if (carry != 0) words_.push_back(carry);
  }

  long long BitLength() const {
    if (words_.empty()) return 0;
    long long bits = static_cast<long long>(words_.size() - 1) * 32;
    for (std::uint32_t top = words_.back(); top != 0; top >>= 1) ++bits;
    return bits;
  }

  // Negative, zero or positive as this is below, equal to or above `other`.
  int Compare(const BigWhole& other) const {
    if (words_.size() != other.words_.size()) return words_.size() < other.words_.size() ? -1 : 1;
    for (std::size_t i = words_.size(); i-- > 0;) {
      if (words_[i] != other.words_[i]) return words_[i] < other.words_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  void Trim() {
    while (!words_.empty() && words_.back() == 0) words_.pop_back();
  }

  std::vector<std::uint32_t> words_;
};

BigWhole PowerOfTen(long long exponent) {
  BigWhole power(1);
  for (; exponent >= 9; exponent -= 9) power.MultiplyAdd(1000000000, 0);
  for (; exponent > 0; --exponent) power.MultiplyAdd(10, 0);
  return power;
}

// The double nearest to digits x 10^exponent (ties to the even neighbour),
// where `sticky` says that more non-zero digits followed those given; kept
// exact with whole-number arithmetic. Infinity when it lies beyond the
// largest double. `digits` has no leading zero.
double NearestDouble(const std::string& digits, long long exponent, bool sticky) {
  BigWhole numerator;
  for (const char digit : digits) numerator.MultiplyAdd(10, static_cast<std::uint32_t>(digit - '0'));
  if (exponent > 0) numerator = numerator.Times(PowerOfTen(exponent));
  BigWhole denominator = PowerOfTen(exponent < 0 ? -exponent : 0);

  // The quotient scaled by 2^scale is a whole number of 63 or 64 bits:
  // found bit by bit, from the top, by multiplying back.
  const long long scale = 63 - numerator.BitLength() + denominator.BitLength();
  numerator.ShiftLeft(scale);
  denominator.ShiftLeft(-scale);
  std::uint64_t quotient = 0;
  for (int bit = 63; bit >= 0; --bit) {
    const std::uint64_t candidate = quotient | (std::uint64_t{1} << bit);
    if (denominator.Times(BigWhole(candidate)).Compare(numerator) <= 0) quotient = candidate;
  }
  sticky = sticky || denominator.Times(BigWhole(quotient)).Compare(numerator) != 0;

  // The value is quotient x 2^-scale (plus a little when sticky). Keep 53
  // bits, or fewer below the smallest normal double, whose lowest bit then
  // stands for 2^-1074.
  int length = 0;
  for (std::uint64_t rest = quotient; rest != 0; rest >>= 1) ++length;
  const long long topExponent = length - 1 - scale;
  long long dropped = topExponent >= -1022 ? length - 53 : -1074 + scale;
  if (dropped > 64) return 0;
  std::uint64_t kept = dropped == 64 ? 0 : quotient >> dropped;
  const std::uint64_t restBits = dropped == 64 ? quotient : quotient & ((std::uint64_t{1} << dropped) - 1);
  const std::uint64_t half = std::uint64_t{1} << (dropped - 1);
  if (restBits > half || (restBits == half && (sticky || (kept & 1) != 0))) ++kept;
  return std::ldexp(static_cast<double>(kept), static_cast<int>(dropped - scale));
}

double Evaluate(const Spelling& s, const char* what) {
  const double zero = s.negative ? -0.0 : 0.0;
  std::string digits = s.integerDigits + s.fractionDigits;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return zero;
  digits.erase(0, first);
  long long exponent = -static_cast<long long>(s.fractionDigits.size());
  const std::string& e = s.exponentDigits;
  const std::size_t eFirst = e.find_first_not_of('0');
  if (eFirst != std::string::npos) {
    long long magnitude = 10000000;  // beyond any double either way
    if (e.size() - eFirst <= 6) {
      magnitude = 0;
      for (std::size_t i = eFirst; i < e.size(); ++i) magnitude = magnitude * 10 + (e[i] - '0');
    }
    exponent += s.exponentNegative ? -magnitude : magnitude;
  }
  const std::size_t last = digits.find_last_not_of('0');
  exponent += static_cast<long long>(digits.size() - 1 - last);
  digits.erase(last + 1);
  // Digits past the 800th cannot decide the rounding (a double and the
  // midpoint beside it need fewer than 770); their being there can.
  bool sticky = false;
  if (digits.size() > 800) {
    exponent += static_cast<long long>(digits.size() - 800);
    digits.erase(800);
    sticky = true;  // the dropped digits end with a non-zero one
  }
  // The value lies in [10^(size - 1 + exponent), 10^(size + exponent)).
  const long long size = static_cast<long long>(digits.size());
  if (size + exponent <= -324) return zero;  // below half the smallest double
  double value = size - 1 + exponent > 308 ? HUGE_VAL : NearestDouble(digits, exponent, sticky);
  if (std::isinf(value)) throw RuntimeError(ErrorKind::kOverflow, what);
  return s.negative ? -value : value;
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
