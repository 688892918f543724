#include "escape_sequences.h"

#include <array>

#include "platform/pc_keys.h"

namespace screenlib::detail {

namespace {

namespace pc = pc_key;

struct Sequence {
    std::string_view bytes;
    int key;
};

// CSI and SS3 sequences of xterm, vt100/vt220, screen/tmux, rxvt and the
// linux console, each after the Escape.
constexpr std::array kSequences = {
    Sequence{"[A", pc::Up},       Sequence{"[B", pc::Down},    Sequence{"[C", pc::Right},
    Sequence{"[D", pc::Left},     Sequence{"[H", pc::Home},    Sequence{"[F", pc::End},
    Sequence{"OA", pc::Up},       Sequence{"OB", pc::Down},    Sequence{"OC", pc::Right},
    Sequence{"OD", pc::Left},     Sequence{"OH", pc::Home},    Sequence{"OF", pc::End},
    Sequence{"[1~", pc::Home},    Sequence{"[2~", pc::Insert}, Sequence{"[3~", pc::Delete},
    Sequence{"[4~", pc::End},     Sequence{"[5~", pc::PageUp}, Sequence{"[6~", pc::PageDown},
    Sequence{"[7~", pc::Home},    Sequence{"[8~", pc::End},    Sequence{"OP", pc::F1},
    Sequence{"OQ", pc::F2},       Sequence{"OR", pc::F3},      Sequence{"OS", pc::F4},
    Sequence{"[11~", pc::F1},     Sequence{"[12~", pc::F2},    Sequence{"[13~", pc::F3},
    Sequence{"[14~", pc::F4},     Sequence{"[15~", pc::F5},    Sequence{"[17~", pc::F6},
    Sequence{"[18~", pc::F7},     Sequence{"[19~", pc::F8},    Sequence{"[20~", pc::F9},
    Sequence{"[21~", pc::F10},    Sequence{"[[A", pc::F1},     Sequence{"[[B", pc::F2},
    Sequence{"[[C", pc::F3},      Sequence{"[[D", pc::F4},     Sequence{"[[E", pc::F5},
    Sequence{"[Z", pc::ShiftTab},
};

}  // namespace

int decode_escape_sequence(std::string_view after_escape) {
    if (after_escape.size() == 1 && after_escape[0] >= '0' && after_escape[0] <= '9') {
        const int digit = after_escape[0] - '0';
        return pc::F1 + (((digit + 9) % 10) << 8);  // 1 is F1, 0 is F10
    }
    bool prefix = false;
    for (const Sequence& sequence : kSequences) {
        if (sequence.bytes == after_escape) {
            return sequence.key;
        }
        prefix = prefix || (sequence.bytes.size() > after_escape.size() &&
                            sequence.bytes.substr(0, after_escape.size()) == after_escape);
    }
    return prefix ? kIncomplete : -1;
}

}  // namespace screenlib::detail
