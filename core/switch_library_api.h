// The switch's library, socket.dll, described once: its five functions, each
// __stdcall on 32-bit x86, arguments by value, a 32-bit signed result. The
// binding, the fake, the simulated switch and its export check are all made
// from this list.
#pragma once

#include <cstdint>

// On 32-bit x86, where socket.dll lives, the functions are __stdcall, which
// each compiler spells its own way; other targets (the native unit tests)
// have only one convention.
#if defined(__i386__) && defined(__GNUC__)  // GCC and Clang
#define QEL_STDCALL __attribute__((stdcall))
#elif defined(_M_IX86) && defined(_MSC_VER)
#define QEL_STDCALL __stdcall
#else
#define QEL_STDCALL
#endif

// V(name, (parameters)), one line per function, in the library's own order.
#define QEL_SWITCH_LIBRARY_FUNCTIONS(V)                                           \
  V(setip, (const char* address))   /* selects the switch at that address */      \
  V(receivep6, ())                  /* reads the switch's status word */          \
  V(setdata, (std::int32_t word))   /* stages the word when switching on */       \
  V(cleandata, (std::int32_t word)) /* stages the word when switching off */      \
  V(transfer, (std::int32_t word))  /* sends the staged word to the switch */

namespace qel::switch_api {

// The function pointer types: switch_api::setip_function, ...
#define QEL_SWITCH_API_POINTER_TYPE(name, parameters) \
  using name##_function = std::int32_t(QEL_STDCALL*) parameters;
QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_SWITCH_API_POINTER_TYPE)
#undef QEL_SWITCH_API_POINTER_TYPE

// The functions as indices: Function::setip, Function::receivep6, ...
enum class Function {
#define QEL_SWITCH_API_ENUMERATOR(name, parameters) name,
  QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_SWITCH_API_ENUMERATOR)
#undef QEL_SWITCH_API_ENUMERATOR
};

// Their exported names, by index.
inline constexpr const char* kFunctionNames[] = {
#define QEL_SWITCH_API_NAME(name, parameters) #name,
    QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_SWITCH_API_NAME)
#undef QEL_SWITCH_API_NAME
};

inline constexpr int kFunctionCount = static_cast<int>(sizeof(kFunctionNames) / sizeof(kFunctionNames[0]));

}  // namespace qel::switch_api
