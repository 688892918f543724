#include "entry/editor_screen_table.h"

#include "editor/editor.h"
#include "services/screen_function_table.h"

// Both tables hold addresses of screen-library objects; they are complete
// once the library is loaded and never change afterwards.
const FieldFunctions my_string_funcs = {
    group_field_entry, group_field_exit, field_std_key, fill_field, nullptr, STRING_FIELD_SET_ID,
};

// Every class marker is listed, in the order the library reads them, even
// when its section is empty.
const ScreenFunctionEntry main_functions[] = {
    {"$0", nullptr, nullptr},  {"my_string_funcs", nullptr, &my_string_funcs},
    {"$9", nullptr, nullptr},  {"NULL", nullptr, nullptr},
    {"$10", nullptr, nullptr}, {"sedwin_Class", table_function(sedwin_Class), nullptr},
    {"$5", nullptr, nullptr},  {"bd_prompt", table_function(bd_prompt), nullptr},
    {"$6", nullptr, nullptr},  {"$1", nullptr, nullptr},
    {"$4", nullptr, nullptr},  {"$2", nullptr, nullptr},
    {"$8", nullptr, nullptr},  {nullptr, nullptr, nullptr},
};
