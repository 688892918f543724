// Building blocks of the module's ScreenFunctionTables.
#pragma once

#include "platform/screen_library.h"

// A function as a ScreenFunctionTable entry holds it.
template <typename Function>
AnyFunction table_function(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}
