// Fixed-width text helpers: the edges where a terminator, a width or blanks decide.
#include "platform/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct BlankLengthCase {
    std::string text;  // may hold zero bytes
    int width;
    int expected;
};

TEST(BlankLength, CountsUpToTheLastNonBlankWithinWidthAndTerminator) {
    const BlankLengthCase cases[] = {
        {"ab  c   ", 8, 5},   {"        ", 8, 0}, {std::string("ab\0cd", 5), 5, 2},
        {"abcdefghij", 4, 4}, {"", 8, 0},         {"   x", 3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(blank_length(c.text.data(), c.width), c.expected)
            << "text '" << c.text << "' width " << c.width;
    }
    EXPECT_EQ(blank_length(nullptr, 8), 0);
}

struct JustifyCase {
    std::string buffer;  // exactly `width` bytes, may hold zero bytes
    std::string expected;
};

TEST(LeftJustify, DropsLeadingBlanksCutsAtTerminatorAndPads) {
    const JustifyCase cases[] = {
        {std::string("  ab\0xyz", 8), "ab      "},
        {"abcdefgh", "abcdefgh"},
        {"        ", "        "},
        {std::string("abcde\0fg", 8), "abcde   "},
        {"  hello ", "hello   "},
        {std::string("\0bcdefgh", 8), "        "},
    };
    for (const auto& c : cases) {
        std::string buffer = c.buffer;
        left_justify(buffer.data(), 8);
        EXPECT_EQ(buffer, c.expected) << "from '" << c.buffer << "'";
    }
}

TEST(LeftJustify, WritesExactlyWidthCharacters) {
    char buffer[12] = "  abc\0ZZZZZ";
    buffer[5] = '\0';
    left_justify(buffer, 5);
    EXPECT_EQ(std::string(buffer, 5), "abc  ");
    EXPECT_EQ(std::string(buffer + 5, 6), std::string("\0ZZZZZ", 6));
}

TEST(CopyPadded, StopsAtTerminatorAndNeverReadsPastIt) {
    char target[8];
    copy_padded(target, "abc", 8);
    EXPECT_EQ(std::string(target, 8), "abc     ");
    copy_padded(target, "abcdefghijk", 8);
    EXPECT_EQ(std::string(target, 8), "abcdefgh");
    copy_padded(target, nullptr, 8);
    EXPECT_EQ(std::string(target, 8), "        ");
}

TEST(CopyPaddedBytes, KeepsZeroBytesAndCutsAtTheWidth) {
    char target[6];
    copy_padded_bytes(target, std::string_view("a\0b", 3), 6);
    EXPECT_EQ(std::string(target, 6), std::string("a\0b   ", 6));
    copy_padded_bytes(target, "abcdefgh", 6);
    EXPECT_EQ(std::string(target, 6), "abcdef");
    copy_padded_bytes(target, "", 6);
    EXPECT_EQ(std::string(target, 6), "      ");
}

TEST(FixedText, EndsAtTheWidthOrAZeroByteWithoutTrailingBlanks) {
    EXPECT_EQ(fixed_text("ab c    ", 8), "ab c");
    EXPECT_EQ(fixed_text("  ab", 4), "  ab");
    EXPECT_EQ(fixed_text("abcdefgh", 3), "abc");
    EXPECT_EQ(fixed_text("ab \0cd", 6), "ab");
    EXPECT_EQ(fixed_text("        ", 8), "");
    EXPECT_EQ(fixed_text(nullptr, 8), "");
}

}  // namespace
