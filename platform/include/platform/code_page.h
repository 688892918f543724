// The one code page of the host's records and text files: ISO 8859-15, one
// byte a character, so that a fixed field of N bytes holds N characters.
// Text crosses into or out of it only at the edges (CSV, the terminal, key
// scripts, printed listings, the PDF), with the C library's iconv
// (docs/code-page.md).
//
// The helpers that only classify a byte are constexpr, so that the module
// uses them without linking anything; the conversions live in the static
// library `code_page`.
#pragma once

#include <stddef.h>

#include <array>
#include <string>
#include <string_view>

namespace code_page {

// The page's name as iconv knows it.
inline constexpr const char* kName = "ISO-8859-15";

// A byte that is a character of the page: printable ASCII and 0xA0 to 0xFF.
// The C0 and C1 controls and DEL are not; so the report file's control bytes
// (0x81 to 0x85) never stand for a letter.
constexpr bool is_character(unsigned char byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0;
}

// The capital of a small letter of the page; any other byte as it is. ß has
// no single capital and stays.
constexpr unsigned char to_upper(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        return static_cast<unsigned char>(byte - 0x20);
    }
    if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) {  // à..þ, not ÷
        return static_cast<unsigned char>(byte - 0x20);
    }
    switch (byte) {
        case 0xA8:  // š
            return 0xA6;
        case 0xB8:  // ž
            return 0xB4;
        case 0xBD:  // œ
            return 0xBC;
        case 0xFF:  // ÿ
            return 0xBE;
        default:
            return byte;
    }
}

// Compares `length` bytes ignoring the case of the page's letters; 0 when
// equal, as strncmp.
constexpr int compare_ignoring_case(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const int x = to_upper(static_cast<unsigned char>(a[i]));
        const int y = to_upper(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x - y;
        }
    }
    return 0;
}

// The Unicode code point of a byte of the page.
char32_t to_unicode(unsigned char byte);

// The byte of the page for a code point; -1 when the page has none.
int from_unicode(char32_t code_point);

// The UTF-8 text of code-page text, byte for byte (controls included).
std::string to_utf8(std::string_view text);

// Code-page text as a terminal or a log shows it: control bytes (C0, DEL
// and C1) written as \xNN, everything else as UTF-8.
std::string printable_utf8(std::string_view text);

// How each byte of the page is written in `charset` (a terminal's, as
// nl_langinfo(CODESET) names it): a control byte as a blank, a character the
// charset lacks as '?', so that every byte fills one column.
std::array<std::string, 256> characters_in(const char* charset);

// One UTF-8 character at text[at]: its code point and length in bytes.
// False for bytes that do not start a whole, shortest-form character.
bool decode_utf8(std::string_view text, size_t at, char32_t* code_point, size_t* length);

// Where a UTF-8 text could not be taken into the page.
struct Refusal {
    size_t offset = 0;   // of the first byte not taken
    int line = 1;        // from 1
    int column = 1;      // in characters, from 1
    std::string reason;  // "'Ő' (U+0150) is not in the code page ISO-8859-15", "not UTF-8"
};

// Converts UTF-8 text into the page. False, with *out empty and *refusal
// naming the first character the page cannot hold or the first byte that is
// not UTF-8, otherwise.
bool from_utf8(std::string_view utf8, std::string* out, Refusal* refusal);

}  // namespace code_page
