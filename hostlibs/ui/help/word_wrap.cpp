// Breaking the lines of a text popup at word boundaries.
#include <algorithm>
#include <string_view>

#include "hostlibs/help.h"

namespace hostlibs {

std::vector<std::string> wrap_lines(const std::vector<std::string>& lines, size_t width) {
    width = std::max<size_t>(width, 1);
    std::vector<std::string> wrapped;
    for (const std::string& line : lines) {
        if (line.size() <= width) {
            wrapped.push_back(line);
            continue;
        }
        // Continued pieces keep the line's indentation while it leaves room for words.
        const size_t indent = std::min(line.find_first_not_of(' '), line.size());
        const std::string margin(indent * 2 < width ? indent : 0, ' ');
        std::string_view rest(line);
        std::string_view lead;  // the indentation of the piece: the line's own first
        for (bool first = true; !rest.empty(); first = false) {
            if (!first) {
                rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
                if (rest.empty()) {
                    break;
                }
                lead = margin;
            }
            const size_t room = width - lead.size();
            if (rest.size() <= room) {
                wrapped.push_back(std::string(lead).append(rest));
                break;
            }
            // The last blank within the room that ends a word; none: the word is cut.
            size_t cut = rest.rfind(' ', room);
            const size_t text_start = first ? indent : 0;
            if (cut == std::string_view::npos || cut <= text_start) {
                cut = room;
            }
            std::string piece = std::string(lead).append(rest.substr(0, cut));
            piece.erase(piece.find_last_not_of(' ') + 1);
            wrapped.push_back(std::move(piece));
            rest.remove_prefix(cut);
        }
    }
    return wrapped;
}

}  // namespace hostlibs
