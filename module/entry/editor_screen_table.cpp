#include "entry/editor_screen_table.h"

#include "editor/editor.h"
#include "platform/screen_function_table.h"

// Both hold addresses of screen-library objects; they are complete once the
// library is loaded and never change afterwards.
const FieldFunctions my_string_funcs = {
    group_field_entry, group_field_exit, field_std_key, fill_field, nullptr, STRING_FIELD_SET_ID,
};

namespace {

// The editor's screen file lists the name NULL in class 9.
constexpr int kNullNameClass = 9;

const ScreenFunctionTable kEditorTable({
    table_field_set("my_string_funcs", my_string_funcs),
    table_bare_name(kNullNameClass, "NULL"),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_prompt", bd_prompt),
});

}  // namespace

const ScreenFunctionEntry* const main_functions = kEditorTable;
