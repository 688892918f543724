// The shell menu (SHELL): the known modules and Quit.
#include <cctype>
#include <iterator>

#include "hostlibs/menubar.h"
#include "hostlibs/shell.h"
#include "session_state.h"

namespace hostapp {

int run_shell_menu(HostSession::State& state) {
    struct Choice {
        int text;
        const char* fallback;
        RunListEntry entry;
    };
    const ModuleIdentity& id = state.identity;
    const Choice choices[] = {
        {TEXT_EDITOR, "Device group editor",
         make_entry(id.first_dir, id.second_dir, id.module_name)},
        {TEXT_ERROR_LOG, "Error log", make_entry("USER", "ERRORLOG", "ERRORLOG")},
        {TEXT_SIGN_ON, "Sign on", make_entry("USER", "SIGNON", "SIGNON")},
        {TEXT_QUIT, "Quit", {}},
    };
    hostlibs::ChoicePopup popup = state.popup_style();
    popup.row = 6;
    popup.column = 28;
    popup.last_screen = &state.screen_left;
    for (const Choice& choice : choices) {
        popup.entries.push_back(state.text(choice.text, choice.fallback));
        popup.letters.push_back(std::toupper(static_cast<unsigned char>(popup.entries.back()[0])));
    }
    const int quit = static_cast<int>(std::size(choices)) - 1;  // the last choice
    for (;;) {
        const int chosen = hostlibs::run_choice_popup(popup);
        // A menu closed by the end of a key script is no operator's Escape.
        if (chosen < 0 && state.script_ran_out()) {
            return 0;
        }
        if (chosen < 0 && hostlibs::run_list().size() > 1) {
            filelist_pop();  // back to the module that called the shell menu
            return 0;
        }
        // Leaving the shell menu at the bottom of the list quits, as "Quit"
        // does; both need the rights the editor's Quit asks for.
        const bool quitting = chosen < 0 || chosen == quit;
        if (quitting && !grant_rights(state, RIGHTS_QUIT, state.text(TEXT_QUIT, "Quit"))) {
            // Refused: the menu again, unless the key script has run out.
            if (state.script_ran_out()) {
                return 0;
            }
            continue;
        }
        filelist_clear();
        if (!quitting) {
            filelist_push(&choices[chosen].entry);
        }
        return 0;
    }
}

}  // namespace hostapp
