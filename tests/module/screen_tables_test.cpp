// The module's ScreenFunctionTables as the screen library reads them: every
// class marker in the library's order, each object in its own section, the
// null entry at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/editor_screen_table.h"
#include "output/fax_site.h"
#include "platform/screen_function_table.h"

namespace {

// The table's names in order; "-" for the null name that ends it.
std::vector<std::string> names(const ScreenFunctionEntry* table) {
    std::vector<std::string> listed;
    for (; table->name != nullptr; ++table)
        listed.emplace_back(table->name);
    listed.emplace_back("-");
    return listed;
}

TEST(ScreenTables, TheEditorsTableListsItsObjectsInTheirSections) {
    EXPECT_EQ(
        names(main_functions),
        (std::vector<std::string>{"$0", "my_string_funcs", "$9", "NULL", "$10", "sedwin_Class",
                                  "$5", "bd_prompt", "$6", "$1", "$4", "$2", "$8", "-"}));
    EXPECT_EQ(main_functions[1].data, &my_string_funcs);
    EXPECT_EQ(main_functions[3].function, nullptr);
    EXPECT_EQ(main_functions[3].data, nullptr);
    EXPECT_EQ(main_functions[5].function, reinterpret_cast<AnyFunction>(sedwin_Class));
    EXPECT_EQ(main_functions[7].function, reinterpret_cast<AnyFunction>(bd_prompt));
}

// The FAX site popup names the screen library's own field sets, not copies.
TEST(ScreenTables, TheLookupTableNamesTheLibrarysOwnFieldSets) {
    EXPECT_EQ(names(lookup_table),
              (std::vector<std::string>{"$0", "my_gmenu_funcs", "my_string_funcs", "$9", "$10",
                                        "sedwin_Class", "$5", "bd_prompt", "$6", "$1", "$4", "$2",
                                        "$8", "-"}));
    EXPECT_EQ(lookup_table[1].data, &menu_field_funcs);
    EXPECT_EQ(lookup_table[2].data, &string_field_funcs);
}

// Objects given in any order land in their classes' sections, in the order
// given within a class.
TEST(ScreenTables, TheBuilderSortsObjectsIntoSectionsByClass) {
    const ScreenFunctionTable table({
        table_key_handler("keys", nullptr),
        table_mouse_handler("click", nullptr),
        table_border("b1", nullptr),
        table_field_set("set", string_field_funcs),
        table_border("b2", nullptr),
        table_window_class("window", nullptr),
    });
    EXPECT_EQ(names(table),
              (std::vector<std::string>{"$0", "set", "$9", "$10", "window", "$5", "b1", "b2", "$6",
                                        "click", "$1", "$4", "$2", "keys", "$8", "-"}));
}

}  // namespace
