// Menus: windows built at run time from text with placement and field
// directives ("@p[row,column]", "@f[template]").
#pragma once

#include <cstdarg>

#include "screen_model.h"

namespace screenlib::detail {

// Formats one menu_printf call into the menu; the number of characters of
// text it placed, or -1 on a malformed directive or conversion.
int menu_format(Menu* menu, const char* format, va_list arguments);
std::unique_ptr<Screen> screen_from_menu(const Menu& menu);

}  // namespace screenlib::detail
