// Helpers shared by the libFuzzer targets (*_fuzz.cpp): turning the input
// bytes into text, and a check that reports a broken invariant and aborts,
// so libFuzzer saves the input. Independent of the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qel::fuzz {

// Each byte one character (U+0000 .. U+00FF).
inline std::wstring Latin1(const std::uint8_t* data, std::size_t size) {
  return std::wstring(data, data + size);
}

// UTF-8 decoding; a byte that does not start a well-formed sequence becomes
// U+FFFD. Reaches characters above U+00FF (full-width digits and the like).
inline std::wstring Utf8(const std::uint8_t* data, std::size_t size) {
  std::wstring out;
  for (std::size_t i = 0; i < size;) {
    const std::uint8_t lead = data[i];
    const int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    std::uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= size;
    for (int k = 1; valid && k < length; ++k) {
      valid = (data[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (data[i + k] & 0x3Fu);
    }
    if (!valid || c > 0x10FFFF) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

// Printable form of a text for a report: ASCII as it stands, the rest as \x{..}.
inline std::string Show(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != L'\\') {
      out += static_cast<char>(c);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\x{%X}", static_cast<unsigned>(c));
      out += buffer;
    }
  }
  return out;
}
inline std::string Show(std::string_view text) { return Show(std::wstring(text.begin(), text.end())); }

// A double with every digit that tells it apart.
inline std::string Show(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

[[noreturn]] inline void Fail(const char* condition, const char* file, int line, const std::string& detail) {
  std::fprintf(stderr, "\n== fuzz invariant broken at %s:%d: %s\n== %s\n", file, line, condition, detail.c_str());
  std::abort();
}

}  // namespace qel::fuzz

// Aborts with the condition and a detail text when the condition is false.
#define QEL_FUZZ_CHECK(condition, detail)                                   \
  do {                                                                      \
    if (!(condition)) ::qel::fuzz::Fail(#condition, __FILE__, __LINE__, (detail)); \
  } while (0)
