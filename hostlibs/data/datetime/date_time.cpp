// Date and time texts of host clock values (seconds since 1970, UTC).
//
// date_format: style 1 (and any other) gives 8 characters "AA/BB/YY"; the
// order 0 is month/day/year, 1 day/month/year, 2 year/month/day; the
// separator 0 is '/', any other printable character is used as given.
// time_format: "HH:MM" (24-hour) or, with a non-zero `seconds`, "HH:MM:SS";
// style 2 gives a 12-hour clock. Both write at most `size` characters and
// add a terminator only when there is room after the text.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/host_libraries.h"

namespace {

bool split(uint32_t clock, std::tm* parts) {
    const std::time_t value = static_cast<std::time_t>(clock);
    return gmtime_r(&value, parts) != nullptr;
}

int put(const char* text, int length, char* buffer, int size) {
    const int count = length < size ? length : size;
    std::memcpy(buffer, text, static_cast<size_t>(count));
    if (size > length) {
        buffer[length] = '\0';
    }
    return 0;
}

}  // namespace

extern "C" {

int date_format(uint32_t clock, int style, int separator, int order, char* buffer, int size) {
    (void)style;
    std::tm parts{};
    if (buffer == nullptr || size <= 0 || !split(clock, &parts)) {
        return 1;
    }
    const char mark = separator > 0x20 && separator < 0x7F ? static_cast<char>(separator) : '/';
    const int month = parts.tm_mon + 1;
    const int day = parts.tm_mday;
    const int year = parts.tm_year % 100;
    int first = month, second = day, third = year;
    if (order == 1) {
        first = day;
        second = month;
    } else if (order == 2) {
        first = year;
        second = month;
        third = day;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", first, mark, second, mark, third);
    return put(text, 8, buffer, size);
}

int time_format(uint32_t clock, int style, int seconds, char* buffer, int size) {
    std::tm parts{};
    if (buffer == nullptr || size <= 0 || !split(clock, &parts)) {
        return 1;
    }
    int hour = parts.tm_hour;
    if (style == 2) {
        hour = hour % 12 == 0 ? 12 : hour % 12;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, parts.tm_min, parts.tm_sec);
    return put(text, seconds != 0 ? 8 : 5, buffer, size);
}

}  // extern "C"
