// The editor screen's ScreenFunctionTable and its field-function set, named
// as the editor's screen file names them.
#pragma once

#include "platform/screen_library.h"

extern const FieldFunctions my_string_funcs;
extern const ScreenFunctionEntry* const main_functions;
