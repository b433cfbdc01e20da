// Not compiled: CMake has the preprocessor expand this file when it
// configures the build, and takes the library's function names, in the
// list's order, from the line that starts with the marker.
#include "core/switch_library_api.h"

#define QELSIM_NAME(name, parameters) name
qelsim_function_names: QEL_SWITCH_LIBRARY_FUNCTIONS(QELSIM_NAME)
