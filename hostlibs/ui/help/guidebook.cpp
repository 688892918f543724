// The help library: shows the topic of a context number from a help file.
#include "core/c_boundary.h"
#include "help/text_file.h"
#include "hostlibs/help.h"

namespace hostlibs {
namespace {

HelpShown& shown() {
    static HelpShown state;
    return state;
}

}  // namespace

HelpShown help_shown() {
    return shown();
}

void reset_help() {
    shown() = HelpShown{};
}

}  // namespace hostlibs

namespace {

// 0 when the topic was shown; 1 when the file or the topic is missing (the
// operator then sees a "no help" text).
int show_help(const char* help_path, int context) {
    using namespace hostlibs;
    std::string text;
    HelpFile help;
    std::string error;
    std::string read_error;
    const bool readable =
        read_host_file(help_path, &text, &read_error) && parse_help(text, &help, &error);
    const HelpTopic* topic = readable ? help.find(context) : nullptr;
    HelpShown& state = shown();
    ++state.times;
    state.context = context;
    state.found = topic != nullptr;
    if (topic != nullptr) {
        state.title = topic->title;
        state.lines = topic->lines;
    } else {
        state.title = "Help";
        state.lines = {"No help for this place (context " + std::to_string(context) + ").",
                       readable        ? std::string("The help file has no such topic.")
                       : error.empty() ? read_error
                                       : native_name(help_path) + ": " + error};
    }
    show_text_popup(state.title, state.lines);
    return state.found ? 0 : 1;
}

}  // namespace

// The C interface: nothing thrown inside gets out.
int guidebook_go(const char* help_path, int context) {
    return hostlibs::detail::guarded(1, [&] { return show_help(help_path, context); });
}
