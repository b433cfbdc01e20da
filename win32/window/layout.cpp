#include "win32/window/layout.h"

namespace qel {

int TwipsToPixels(int twips, int dpi) {
  // Rounded to nearest, halves away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

}  // namespace qel
