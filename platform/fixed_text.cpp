#include "platform/fixed_text.h"

#include <string.h>

int blank_length(const char* text, int width) {
    if (text == nullptr) {
        return 0;
    }
    int length = 0;
    for (int i = 0; i < width && text[i] != '\0'; ++i) {
        if (text[i] != ' ') {
            length = i + 1;
        }
    }
    return length;
}

void left_justify(char* buffer, int width) {
    int skipped = 0;
    while (skipped < width && buffer[skipped] == ' ') {
        ++skipped;
    }
    // Moving forward over the same buffer is safe: the target never passes the source.
    int copied = 0;
    while (skipped + copied < width && buffer[skipped + copied] != '\0') {
        buffer[copied] = buffer[skipped + copied];
        ++copied;
    }
    for (int i = copied; i < width; ++i) {
        buffer[i] = ' ';
    }
}

void copy_padded(char* target, const char* source, int width) {
    int i = 0;
    for (; source != nullptr && i < width && source[i] != '\0'; ++i) {
        target[i] = source[i];
    }
    for (; i < width; ++i) {
        target[i] = ' ';
    }
}

void copy_padded_bytes(char* target, std::string_view bytes, int width) {
    int i = 0;
    for (; i < width && static_cast<size_t>(i) < bytes.size(); ++i) {
        target[i] = bytes[static_cast<size_t>(i)];
    }
    for (; i < width; ++i) {
        target[i] = ' ';
    }
}

std::string_view fixed_text(const char* field, size_t width) {
    if (field == nullptr) {
        return {};
    }
    size_t length = strnlen(field, width);
    while (length > 0 && field[length - 1] == ' ') {
        --length;
    }
    return {field, length};
}
