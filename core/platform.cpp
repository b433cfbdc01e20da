#include "core/platform.h"

#include "core/errors.h"

namespace qel {

std::string AnsiText(Platform& platform, std::wstring_view text) {
  std::optional<std::string> ansi = platform.ToAnsi(text);
  if (!ansi) throw RuntimeError(ErrorKind::kNotInCodePage, "a character the ANSI code page cannot hold");
  return std::move(*ansi);
}

}  // namespace qel
