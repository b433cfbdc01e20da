// Whether the user runs Windows in a high-contrast theme. While one is on,
// the window draws with the system's colours only (the theme's), and
// nothing with a colour of its own: the lit outlet label takes the
// selection's colours (COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT) in place of its
// fixed pink.
#pragma once

namespace qel {

// SPI_GETHIGHCONTRAST reports HCF_HIGHCONTRASTON; false where the system
// cannot tell.
bool HighContrastOn();

}  // namespace qel
