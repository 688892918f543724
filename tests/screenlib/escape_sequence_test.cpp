// The decoder of escape sequences the terminal description may lack, on the
// raw bytes after an Escape.
#include <gtest/gtest.h>

#include "escape_sequences.h"
#include "platform/pc_keys.h"

namespace {

using screenlib::detail::decode_escape_sequence;
using screenlib::detail::kIncomplete;
namespace pc = pc_key;

TEST(EscapeSequence, CommonTerminalsGiveThePcKeys) {
    const std::pair<const char*, int> cases[] = {
        // xterm (normal and application cursor keys)
        {"[A", pc::Up},
        {"OB", pc::Down},
        {"[H", pc::Home},
        {"OF", pc::End},
        {"OP", pc::F1},
        {"[21~", pc::F10},
        {"[Z", pc::ShiftTab},
        // screen and tmux, vt220
        {"[1~", pc::Home},
        {"[4~", pc::End},
        {"[5~", pc::PageUp},
        {"[6~", pc::PageDown},
        {"[3~", pc::Delete},
        {"[2~", pc::Insert},
        {"[17~", pc::F6},
        // rxvt and the linux console
        {"[7~", pc::Home},
        {"[8~", pc::End},
        {"[[A", pc::F1},
        {"[[E", pc::F5},
        {"[11~", pc::F1},
        // Escape-digit: 1 to 9 are F1 to F9, 0 is F10
        {"1", pc::F1},
        {"9", pc::F9},
        {"0", pc::F10},
    };
    for (const auto& [bytes, key] : cases)
        EXPECT_EQ(decode_escape_sequence(bytes), key) << bytes;
}

TEST(EscapeSequence, CutOffAndUnknownSequences) {
    for (const char* prefix : {"[", "O", "[1", "[2", "[[", "[21"})
        EXPECT_EQ(decode_escape_sequence(prefix), kIncomplete) << prefix;
    for (const char* unknown : {"[1;5A", "[99~", "x", "[G", "OZ", "12"})
        EXPECT_EQ(decode_escape_sequence(unknown), -1) << unknown;
}

}  // namespace
