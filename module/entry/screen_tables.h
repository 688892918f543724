// The editor screen's ScreenFunctionTable and its field-function set, named
// as the editor's screen file names them.
#pragma once

#include "platform/screen_library.h"

// A function as a ScreenFunctionTable entry holds it.
template <typename Function>
AnyFunction table_function(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

extern const FieldFunctions my_string_funcs;
extern const ScreenFunctionEntry main_functions[];
