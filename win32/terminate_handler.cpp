// What ends qel when a C++ exception finds no handler, in place of the GNU
// C++ library's default.
//
// The library's default handler writes the exception's type and text to the
// standard error stream, which a Windows program started from Explorer, a
// shortcut or a scheduled task does not have, and to name the type it links
// the library's C++ name demangler and the C runtime's formatted output:
// some 60 KB of qel.exe's size for text nobody sees. No failure should get
// here anyway: the window's callbacks stop every exception at their edge
// and a script drops each failed step. So an exception that still escapes
// ends the process as the library's handler would after its text.
//
// This file is linked into qel.exe as an object of its own, not from a
// static library: the linker then takes this definition before it looks for
// one in the C++ library, whose handler is left out.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
