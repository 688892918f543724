#include "platform/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace code_page {
namespace {

// An iconv descriptor closed on every path.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return reinterpret_cast<std::intptr_t>(cd_) != -1; }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// Each byte of the page as a code point, asked of iconv once. Should the C
// library lack the page, the bytes read as ISO 8859-1, which differs from
// 8859-15 in eight letters only.
std::array<char32_t, 256> make_unicode_table() {
    std::array<char32_t, 256> table{};
    Converter converter("UTF-32LE", kName);
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        table[byte] = byte;
        if (!converter.ok()) {
            continue;
        }
        char in[1] = {static_cast<char>(byte)};
        unsigned char out[4] = {};
        char* in_at = in;
        char* out_at = reinterpret_cast<char*>(out);
        size_t in_left = 1;
        size_t out_left = sizeof out;
        if (iconv(converter.get(), &in_at, &in_left, &out_at, &out_left) == 0 && out_left == 0) {
            table[byte] = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) |
                                                (static_cast<uint32_t>(out[3]) << 24));
        }
    }
    return table;
}

const std::array<char32_t, 256>& unicode_table() {
    static const std::array<char32_t, 256> table = make_unicode_table();
    return table;
}

void append_utf8(char32_t code_point, std::string* out) {
    if (code_point < 0x80) {
        out->push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        // The page holds nothing beyond the Basic Multilingual Plane.
        out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

const std::array<std::string, 256>& utf8_table() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> made;
        for (unsigned byte = 0; byte < made.size(); ++byte) {
            append_utf8(unicode_table()[byte], &made[byte]);
        }
        return made;
    }();
    return table;
}

// Line and column (in characters) of a byte offset in UTF-8 text.
void locate(std::string_view text, size_t offset, Refusal* refusal) {
    refusal->offset = offset;
    refusal->line = 1;
    refusal->column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++refusal->line;
            refusal->column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++refusal->column;
        }
    }
}

std::string why_refused(std::string_view text, size_t offset) {
    char32_t code_point = 0;
    size_t length = 0;
    char hex[16];
    if (!decode_utf8(text, offset, &code_point, &length)) {
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(text[offset]));
        return std::string("not UTF-8 (the byte ") + hex + ")";
    }
    std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code_point));
    return "'" + std::string(text.substr(offset, length)) + "' (" + hex +
           ") is not in the code page " + kName;
}

}  // namespace

char32_t to_unicode(unsigned char byte) {
    return unicode_table()[byte];
}

int from_unicode(char32_t code_point) {
    const std::array<char32_t, 256>& table = unicode_table();
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        if (table[byte] == code_point) {
            return static_cast<int>(byte);
        }
    }
    return -1;
}

std::string to_utf8(std::string_view text) {
    const std::array<std::string, 256>& table = utf8_table();
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += table[static_cast<unsigned char>(c)];
    }
    return out;
}

std::string printable_utf8(std::string_view text) {
    const std::array<std::string, 256>& table = utf8_table();
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (is_character(byte)) {
            out += table[byte];
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        out += escape;
    }
    return out;
}

std::array<std::string, 256> characters_in(const char* charset) {
    std::array<std::string, 256> table;
    Converter converter(charset, kName);
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        if (!is_character(static_cast<unsigned char>(byte))) {
            table[byte] = " ";
            continue;
        }
        char in[1] = {static_cast<char>(byte)};
        char out[8] = {};
        char* in_at = in;
        char* out_at = out;
        size_t in_left = 1;
        size_t out_left = sizeof out;
        const bool converted =
            converter.ok() && iconv(converter.get(), &in_at, &in_left, &out_at, &out_left) == 0;
        table[byte] =
            converted && out_left < sizeof out ? std::string(out, sizeof out - out_left) : "?";
        if (converter.ok()) {
            iconv(converter.get(), nullptr, nullptr, nullptr,
                  nullptr);  // back to the initial state
        }
    }
    return table;
}

bool decode_utf8(std::string_view text, size_t at, char32_t* code_point, size_t* length) {
    if (at >= text.size()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t count = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *code_point = lead;
        *length = 1;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (text.size() - at < count) {
        return false;
    }
    for (size_t i = 1; i < count; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *code_point = value;
    *length = count;
    return true;
}

bool from_utf8(std::string_view utf8, std::string* out, Refusal* refusal) {
    out->clear();
    Converter converter(kName, "UTF-8");
    if (!converter.ok()) {
        *refusal = Refusal{};
        refusal->reason = std::string("the C library cannot convert UTF-8 to ") + kName + ": " +
                          std::strerror(errno);
        return false;
    }
    // A character of the page is never longer than its UTF-8.
    std::string converted(utf8.size(), '\0');
    std::string input(utf8);
    char* in_at = input.data();
    size_t in_left = input.size();
    char* out_at = converted.data();
    size_t out_left = converted.size();
    while (in_left > 0) {
        if (iconv(converter.get(), &in_at, &in_left, &out_at, &out_left) ==
            static_cast<size_t>(-1)) {
            const auto offset = static_cast<size_t>(in_at - input.data());
            locate(utf8, offset, refusal);
            refusal->reason = why_refused(utf8, offset);
            return false;
        }
    }
    converted.resize(converted.size() - out_left);
    *out = std::move(converted);
    return true;
}

}  // namespace code_page
