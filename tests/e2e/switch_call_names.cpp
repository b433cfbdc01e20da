// The switch library's functions declared with the pointer types qel's
// binding calls them through (core/switch_library_api.h), and used: the
// object file then names each of them as the compiler names a function of
// that type. check_stdcall_names.sh reads those names: a __stdcall function
// carries the size of its arguments ("_setdata@4").
#include <type_traits>

#include "core/switch_library_api.h"

namespace qel_test::switch_call_names {

extern "C" {
#define QEL_TEST_DECLARE(name, parameters) std::remove_pointer_t<qel::switch_api::name##_function> name;
QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_TEST_DECLARE)
#undef QEL_TEST_DECLARE
}

// Their addresses, which the object must then name.
extern void* const kCalled[];
void* const kCalled[] = {
#define QEL_TEST_ADDRESS(name, parameters) reinterpret_cast<void*>(&name),
    QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_TEST_ADDRESS)
#undef QEL_TEST_ADDRESS
};

}  // namespace qel_test::switch_call_names
