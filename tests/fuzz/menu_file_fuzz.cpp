// The menu-file parser, and the per-language view of what it accepts.
#include "fuzz_support.h"
#include "hostlibs/menubar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hostlibs::MenuFile menu;
    std::string error;
    if (hostlibs::parse_menu(fuzz::text_of(data, size), &menu, &error)) {
        for (int language = 1; language <= 2; ++language) {
            const hostlibs::MenuFile shown = hostlibs::menu_in_language(menu, language);
            fuzz::check(shown.menus.size() == menu.menus.size(), "every menu in every language");
        }
    } else {
        fuzz::check(!error.empty(), "a refused menu file gives a reason");
    }
    return 0;
}
