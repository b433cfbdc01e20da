#include "win32/delay_loads.h"

#include <windows.h>
#include <delayimp.h>

// The delay libraries' descriptors (dlltool names each after its library),
// one per DLL of qel_delay_load in win32/CMakeLists.txt. Weak: a program
// linked without a delay library has none.
#define QEL_DELAYED_DLLS(V) V(user32) V(gdi32) V(shell32) V(ole32) V(oleaut32) V(oleacc) V(comctl32) V(advapi32)
// The symbol is named exactly (dlltool's "__DELAY_IMPORT_DESCRIPTOR_..."),
// whatever prefix the target puts before C names: none on x64, "_" on x86.
#define QEL_DESCRIPTOR(dll)                                              \
  extern "C" const ImgDelayDescr _DELAY_IMPORT_DESCRIPTOR_lib##dll##_delay_a \
      __asm__("__DELAY_IMPORT_DESCRIPTOR_lib" #dll "_delay_a") __attribute__((weak));
QEL_DELAYED_DLLS(QEL_DESCRIPTOR)
#undef QEL_DESCRIPTOR

extern "C" IMAGE_DOS_HEADER __ImageBase;
// mingw-w64's delay-load helper (libmingwex): looks up one function and
// stores it in its slot.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr dll, FARPROC* slot);

namespace qel {
namespace {

// Every function of the DLL that qel calls, looked up now.
void LoadAll(const ImgDelayDescr* dll) {
  if (dll == nullptr) return;
  const auto base = reinterpret_cast<BYTE*>(&__ImageBase);
  auto* slots = reinterpret_cast<FARPROC*>(base + dll->rvaIAT);
  const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->rvaINT);
  for (int i = 0; names[i].u1.AddressOfData != 0; ++i) __delayLoadHelper2(dll, &slots[i]);
}

}  // namespace

void LoadEveryDelayedImport() {
#define QEL_LOAD(dll) LoadAll(&_DELAY_IMPORT_DESCRIPTOR_lib##dll##_delay_a);
  QEL_DELAYED_DLLS(QEL_LOAD)
#undef QEL_LOAD
}

}  // namespace qel
