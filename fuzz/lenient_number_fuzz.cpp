// libFuzzer target: LenientNumber over any text. The input bytes are read
// twice, each byte one character and as UTF-8.
//
// What must hold:
//  - it returns a finite value or raises RuntimeError kOverflow, nothing else;
//  - a text without an ASCII digit reads as 0;
//  - appending a character that cannot continue a number ("x") changes
//    nothing, and neither does removing every blank, tab and line feed (they
//    are passed over wherever they stand);
//  - a text made, once blanks are removed and the exponent mark "D" is
//    spelled "e", of digits, signs, "." and "e" only, reads as the C
//    library's strtod reads its longest leading number (C locale), with
//    kOverflow where strtod overflows to infinity.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "core/errors.h"
#include "core/numbers.h"

namespace {

using qel::fuzz::Show;

struct Outcome {
  bool overflow = false;
  double value = 0;
};

Outcome Read(const std::wstring& text) {
  Outcome out;
  try {
    out.value = qel::LenientNumber(text);
  } catch (const qel::RuntimeError& e) {
    QEL_FUZZ_CHECK(e.kind() == qel::ErrorKind::kOverflow, "text [" + Show(text) + "]: " + e.what());
    out.overflow = true;
    return out;
  }
  QEL_FUZZ_CHECK(std::isfinite(out.value), "text [" + Show(text) + "]");
  return out;
}

// Same outcome, down to the sign of a zero.
bool Same(const Outcome& a, const Outcome& b) {
  if (a.overflow || b.overflow) return a.overflow == b.overflow;
  return a.value == b.value && std::signbit(a.value) == std::signbit(b.value);
}

std::string Describe(const Outcome& o) {
  return o.overflow ? std::string("overflow") : Show(o.value);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

void Check(const std::wstring& text) {
  const Outcome outcome = Read(text);

  bool anyDigit = false;
  for (wchar_t c : text) anyDigit = anyDigit || IsAsciiDigit(c);
  if (!anyDigit) {
    QEL_FUZZ_CHECK(!outcome.overflow && outcome.value == 0,
                   "no digit in [" + Show(text) + "] but read " + Describe(outcome));
  }

  const Outcome stopped = Read(text + L"x");
  QEL_FUZZ_CHECK(Same(outcome, stopped), "[" + Show(text) + "] reads " + Describe(outcome) + ", with \"x\" after it " +
                                             Describe(stopped));

  std::wstring withoutBlanks;
  for (wchar_t c : text) {
    if (!IsBlank(c)) withoutBlanks += c;
  }
  const Outcome packed = Read(withoutBlanks);
  QEL_FUZZ_CHECK(Same(outcome, packed), "[" + Show(text) + "] reads " + Describe(outcome) + ", without blanks " +
                                            Describe(packed));

  // The plain spelling, compared with strtod.
  std::string plain;
  for (wchar_t c : withoutBlanks) {
    if (c == L'd' || c == L'D') c = L'e';
    if (!(IsAsciiDigit(c) || c == L'+' || c == L'-' || c == L'.' || c == L'e' || c == L'E')) return;
    plain += static_cast<char>(c);
  }
  errno = 0;
  const double expected = std::strtod(plain.c_str(), nullptr);
  if (std::isinf(expected)) {
    QEL_FUZZ_CHECK(outcome.overflow, "[" + Show(text) + "]: strtod overflows, LenientNumber reads " + Describe(outcome));
  } else {
    QEL_FUZZ_CHECK(!outcome.overflow && outcome.value == expected,
                   "[" + Show(text) + "]: strtod reads " + Show(expected) + ", LenientNumber " +
                       Describe(outcome));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(qel::fuzz::Latin1(data, size));
  Check(qel::fuzz::Utf8(data, size));
  return 0;
}
