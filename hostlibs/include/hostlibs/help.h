// The help library as the host program and tests see it: the help-file
// format (docs/help-files.md), the text popup it shows topics in, and the
// last topic shown. Modules use guidebook_go of host_libraries.h.
#pragma once

#include <string>
#include <vector>

#include "platform/host_libraries.h"

namespace hostlibs {

struct HelpTopic {
    std::vector<int> contexts;
    std::string title;
    std::vector<std::string> lines;
};

struct HOSTLIB_API HelpFile {
    std::vector<HelpTopic> topics;
    // The topic of a context number, or null.
    const HelpTopic* find(int context) const;
};

// Parses the text of a help file; false with "line N: reason" in *error.
HOSTLIB_API bool parse_help(const std::string& text, HelpFile* help, std::string* error);

// Shows a titled text in a framed popup of the screen library until the
// operator leaves it (Escape or Enter); Up/Down/PgUp/PgDn scroll a long text.
// Lines wider than the popup (72 columns at most) are wrapped between words.
HOSTLIB_API void show_text_popup(const std::string& title, const std::vector<std::string>& lines);

// Each line no wider than `width`: a longer one is broken at its last blank
// that fits, its pieces after the first indented as the line is; a word
// longer than the width is cut. Blanks at a break are dropped, nothing else.
HOSTLIB_API std::vector<std::string> wrap_lines(const std::vector<std::string>& lines,
                                                size_t width);

struct HelpShown {
    int context = 0;
    bool found = false;  // false: the "no help" text was shown
    std::string title;
    std::vector<std::string> lines;
    int times = 0;  // guidebook_go calls since the last reset
};

HOSTLIB_API HelpShown help_shown();
HOSTLIB_API void reset_help();

}  // namespace hostlibs
