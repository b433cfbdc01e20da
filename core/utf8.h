// Wide text as UTF-8: the switch log's encoding, and the fake platform's
// code page. Portable.
#pragma once

#include <string>
#include <string_view>

namespace qel {

// A surrogate pair (of 16-bit wide text) is one character; a lone
// surrogate becomes U+FFFD.
std::string Utf8Text(std::wstring_view text);

}  // namespace qel
