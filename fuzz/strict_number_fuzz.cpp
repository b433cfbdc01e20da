// libFuzzer target: StrictNumber over any text, with the separators "."
// (decimal) and "," (grouping) and the other way round. The input bytes are
// read twice, each byte one character and as UTF-8.
//
// What must hold:
//  - it returns a finite value or raises RuntimeError kTypeMismatch or
//    kOverflow, nothing else;
//  - the separators are only roles: a text read with "."/"," reads the same
//    as the text with every "." and "," swapped read with ","/".";
//  - a text with no ASCII digit is not a number;
//  - digit grouping does not change a number: a text read with "."/","
//    reads the same with its "," taken out;
//  - a number without grouping is what LenientNumber reads from the same text;
//  - a plain ASCII decimal (blanks and tabs around digits, signs, "." and
//    "e" only) is a number exactly when the C library's strtod (C locale)
//    takes all of it, and then it has strtod's value, or kOverflow where
//    strtod overflows to infinity. Without "." it reads the same with both
//    separator pairs.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "core/errors.h"
#include "core/numbers.h"

namespace {

using qel::ErrorKind;
using qel::NumberSeparators;
using qel::fuzz::Show;

enum class Kind { kNumber, kMismatch, kOverflow };

struct Outcome {
  Kind kind = Kind::kNumber;
  double value = 0;
};

Outcome Read(const std::wstring& text, const NumberSeparators& separators) {
  Outcome out;
  try {
    out.value = qel::StrictNumber(text, separators);
  } catch (const qel::RuntimeError& e) {
    QEL_FUZZ_CHECK(e.kind() == ErrorKind::kTypeMismatch || e.kind() == ErrorKind::kOverflow,
                   "text [" + Show(text) + "]: " + e.what());
    out.kind = e.kind() == ErrorKind::kOverflow ? Kind::kOverflow : Kind::kMismatch;
    return out;
  }
  QEL_FUZZ_CHECK(std::isfinite(out.value), "text [" + Show(text) + "]");
  return out;
}

std::string Describe(const Outcome& o) {
  switch (o.kind) {
    case Kind::kMismatch: return "type mismatch";
    case Kind::kOverflow: return "overflow";
    case Kind::kNumber: break;
  }
  return Show(o.value);
}

// Same outcome; `exact` also tells the sign of a zero apart.
bool Same(const Outcome& a, const Outcome& b, bool exact = true) {
  if (a.kind != b.kind) return false;
  if (a.kind != Kind::kNumber) return true;
  return a.value == b.value && (!exact || std::signbit(a.value) == std::signbit(b.value));
}

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

void Check(const std::wstring& text) {
  const NumberSeparators dot{L".", L","};
  const NumberSeparators comma{L",", L"."};
  const Outcome withDot = Read(text, dot);
  const Outcome withComma = Read(text, comma);

  std::wstring swapped = text;
  for (wchar_t& c : swapped) c = c == L'.' ? L',' : c == L',' ? L'.' : c;
  const Outcome swappedWithComma = Read(swapped, comma);
  QEL_FUZZ_CHECK(Same(withDot, swappedWithComma), "[" + Show(text) + "] with \".\" \",\" reads " + Describe(withDot) +
                                                      ", swapped with \",\" \".\" " + Describe(swappedWithComma));

  bool anyDigit = false;
  for (wchar_t c : text) anyDigit = anyDigit || IsAsciiDigit(c);
  if (!anyDigit) {
    QEL_FUZZ_CHECK(withDot.kind == Kind::kMismatch && withComma.kind == Kind::kMismatch,
                   "no digit in [" + Show(text) + "] but read " + Describe(withDot) + " / " + Describe(withComma));
  }

  std::wstring ungrouped;
  for (wchar_t c : text) {
    if (c != L',') ungrouped += c;
  }
  if (withDot.kind != Kind::kMismatch) {
    const Outcome plain = Read(ungrouped, dot);
    QEL_FUZZ_CHECK(Same(withDot, plain), "[" + Show(text) + "] reads " + Describe(withDot) + ", without \",\" " +
                                             Describe(plain));
    if (ungrouped == text) {
      Outcome lenient;
      try {
        lenient.value = qel::LenientNumber(text);
      } catch (const qel::RuntimeError&) {
        lenient.kind = Kind::kOverflow;
      }
      QEL_FUZZ_CHECK(Same(withDot, lenient), "[" + Show(text) + "] reads " + Describe(withDot) +
                                                 ", LenientNumber reads " + Describe(lenient));
    }
  }

  // Plain ASCII decimals against strtod.
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin == end) return;
  std::string core;
  bool hasDot = false;
  for (std::size_t i = begin; i < end; ++i) {
    const wchar_t c = text[i];
    if (!(IsAsciiDigit(c) || c == L'+' || c == L'-' || c == L'.' || c == L'e' || c == L'E')) return;
    hasDot = hasDot || c == L'.';
    core += static_cast<char>(c);
  }
  char* stop = nullptr;
  const double value = std::strtod(core.c_str(), &stop);
  Outcome expected;
  if (stop != core.c_str() + core.size()) {
    expected.kind = Kind::kMismatch;
  } else if (std::isinf(value)) {
    expected.kind = Kind::kOverflow;
  } else {
    expected.value = value;
  }
  QEL_FUZZ_CHECK(Same(withDot, expected, false),
                 "[" + Show(text) + "]: strtod gives " + Describe(expected) + ", StrictNumber " + Describe(withDot));
  if (!hasDot) {
    QEL_FUZZ_CHECK(Same(withComma, expected, false), "[" + Show(text) + "]: strtod gives " + Describe(expected) +
                                                         ", StrictNumber with \",\" \".\" " + Describe(withComma));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(qel::fuzz::Latin1(data, size));
  Check(qel::fuzz::Utf8(data, size));
  return 0;
}
