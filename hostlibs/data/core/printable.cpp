#include "hostlibs/printable.h"

#include <cstdio>

namespace hostlibs {

bool is_control_byte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        if (!is_control_byte(c)) {
            shown.push_back(c);
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
        shown += escape;
    }
    return shown;
}

}  // namespace hostlibs
