#include "menu_builder.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "library_state.h"
#include "platform/screen_size.h"

namespace screenlib::detail {

namespace {

constexpr int kMaxMenuRows = SCREEN_ROWS;
constexpr int kMaxMenuColumns = SCREEN_COLUMNS;
constexpr char kFieldMark = '\x01';  // stands for a field directive in the expanded text

// Formats one printf conversion starting at format[i] ('%'); advances i past it.
bool format_conversion(const char* format, std::size_t& i, va_list& arguments, std::string& out) {
    std::string spec = "%";
    ++i;
    while (format[i] && std::strchr("-+ #0", format[i])) {
        spec += format[i++];
    }
    auto take_number = [&] {
        if (format[i] == '*') {
            spec += std::to_string(va_arg(arguments, int));
            ++i;
            return;
        }
        while (format[i] >= '0' && format[i] <= '9') {
            spec += format[i++];
        }
    };
    take_number();
    if (format[i] == '.') {
        spec += format[i++];
        take_number();
    }
    std::string length;
    while (format[i] && std::strchr("hlzjt", format[i])) {
        length += format[i++];
    }
    const char conversion = format[i];
    if (!conversion) {
        return false;
    }
    ++i;
    spec += length;
    spec += conversion;
    char buffer[512];
    int written = 0;
    switch (conversion) {
        case '%':
            out += '%';
            return true;
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            // Each argument is read into a variable of its own type first:
            // the branches differ only in the type va_arg takes.
            if (length == "l") {
                const long number = va_arg(arguments, long);
                written = std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
            } else if (length == "ll" || length == "z" || length == "j" || length == "t") {
                const long long number = va_arg(arguments, long long);
                written = std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
            } else {
                const int number = va_arg(arguments, int);
                written = std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
            }
            break;
        case 'c': {
            const int character = va_arg(arguments, int);
            written = std::snprintf(buffer, sizeof buffer, spec.c_str(), character);
            break;
        }
        case 's': {
            const char* text = va_arg(arguments, const char*);
            written = std::snprintf(buffer, sizeof buffer, spec.c_str(), text ? text : "");
            break;
        }
        case 'p': {
            const void* pointer = va_arg(arguments, void*);
            written = std::snprintf(buffer, sizeof buffer, spec.c_str(), pointer);
            break;
        }
        case 'f':
        case 'e':
        case 'g':
        case 'E':
        case 'G': {
            const double number = va_arg(arguments, double);
            written = std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
            break;
        }
        default:
            return false;
    }
    if (written < 0) {
        return false;
    }
    out.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(written), sizeof buffer - 1));
    return true;
}

void put_text(Menu* menu, char ch) {
    if (ch == '\n') {
        ++menu->row;
        menu->column = menu->start_column;
        return;
    }
    if (menu->row < 0 || menu->row >= kMaxMenuRows || menu->column < 0 ||
        menu->column >= kMaxMenuColumns) {
        ++menu->column;
        return;
    }
    if (menu->lines.size() <= static_cast<std::size_t>(menu->row)) {
        menu->lines.resize(static_cast<std::size_t>(menu->row) + 1);
    }
    std::string& line = menu->lines[static_cast<std::size_t>(menu->row)];
    if (line.size() <= static_cast<std::size_t>(menu->column)) {
        line.resize(static_cast<std::size_t>(menu->column) + 1, ' ');
    }
    line[static_cast<std::size_t>(menu->column)] = shown_character(ch);
    ++menu->column;
}

bool parse_placement(const std::string& text, std::size_t& i, int* row, int* column) {
    // text[i] is just past "@p["
    const auto close = text.find(']', i);
    if (close == std::string::npos) {
        return false;
    }
    const std::string inside = text.substr(i, close - i);
    int r = 0;
    int c = 0;
    char extra = 0;
    if (std::sscanf(inside.c_str(), "%d,%d%c", &r, &c, &extra) != 2) {
        return false;
    }
    if (r < 0 || c < 0 || r >= kMaxMenuRows || c >= kMaxMenuColumns) {
        return false;
    }
    *row = r;
    *column = c;
    i = close + 1;
    return true;
}

}  // namespace

int menu_format(Menu* menu, const char* format, va_list arguments) {
    va_list args;
    va_copy(args, arguments);
    // First pass: expand conversions, take each field directive's two arguments in order.
    std::string expanded;
    std::vector<Menu::PendingField> fields;  // placed in the second pass
    bool ok = true;
    for (std::size_t i = 0; format[i] && ok;) {
        if (format[i] == '%') {
            std::string converted;
            ok = format_conversion(format, i, args, converted);
            // Converted text never poses as a field directive.
            std::erase(converted, kFieldMark);
            expanded += converted;
        } else if (std::strncmp(format + i, "@@", 2) == 0) {
            expanded += "@@";  // a literal '@', so "@@f[" is no field
            i += 2;
        } else if (std::strncmp(format + i, "@f[", 3) == 0) {
            const char* close = std::strchr(format + i + 3, ']');
            if (!close) {
                ok = false;
                break;
            }
            Menu::PendingField field;
            field.pattern.assign(format + i + 3, close);
            field.variable = va_arg(args, char*);
            field.functions = va_arg(args, const FieldFunctions*);
            expanded += kFieldMark;
            expanded += static_cast<char>(fields.size() & 0x7F);
            fields.push_back(std::move(field));
            i = static_cast<std::size_t>(close - format) + 1;
        } else if (format[i] == kFieldMark) {
            ++i;  // never let a caller's text pose as a field directive
        } else {
            expanded += format[i++];
        }
    }
    va_end(args);
    if (!ok || fields.size() > 0x7F) {
        return -1;
    }

    // Second pass: placements, fields and text.
    int placed = 0;
    for (std::size_t i = 0; i < expanded.size();) {
        if (expanded.compare(i, 3, "@p[") == 0) {
            std::size_t after = i + 3;
            int row = 0;
            int column = 0;
            if (!parse_placement(expanded, after, &row, &column)) {
                return -1;
            }
            menu->row = row;
            menu->column = column;
            menu->start_column = column;
            i = after;
        } else if (expanded.compare(i, 2, "@@") == 0) {
            put_text(menu, '@');
            ++placed;
            i += 2;
        } else if (expanded[i] == kFieldMark) {
            const auto index =
                i + 1 < expanded.size() ? static_cast<std::size_t>(expanded[i + 1]) : fields.size();
            if (index >= fields.size()) {
                return -1;
            }
            Menu::PendingField& field = fields[index];
            field.row = menu->row;
            field.column = menu->column;
            for (char ch : field.pattern) {
                put_text(menu, ch == '#' ? ' ' : ch);
            }
            menu->fields.push_back(std::move(field));
            i += 2;
        } else {
            put_text(menu, expanded[i++]);
            ++placed;
        }
    }
    return placed;
}

std::unique_ptr<Screen> screen_from_menu(const Menu& menu) {
    auto screen = std::make_unique<Screen>();
    screen->name = "menu";
    int width = 0;
    for (const auto& line : menu.lines) {
        width = std::max(width, static_cast<int>(line.size()));
    }
    for (const auto& pending : menu.fields) {
        width = std::max(width, pending.column + static_cast<int>(pending.pattern.size()));
    }
    screen->inner_rows = static_cast<int>(menu.lines.size());
    for (const auto& pending : menu.fields) {
        screen->inner_rows = std::max(screen->inner_rows, pending.row + 1);
    }
    screen->inner_columns = std::min(width, kMaxMenuColumns);
    screen->inner_rows = std::min(screen->inner_rows, kMaxMenuRows);
    screen->picture = menu.lines;
    for (auto& line : screen->picture) {
        line.resize(static_cast<std::size_t>(screen->inner_columns), ' ');
    }
    for (const auto& pending : menu.fields) {
        Field field;
        field.row = pending.row;
        field.column = pending.column;
        field.variable = pending.variable;
        field.functions = pending.functions ? pending.functions : &string_field_funcs;
        int positions = 0;
        for (char ch : pending.pattern) {
            field.cells.push_back(ch == '#' ? positions++ : -1 - static_cast<unsigned char>(ch));
        }
        field.record.assign(static_cast<std::size_t>(positions) + 1, ' ');
        field.record.back() = '\0';
        screen->fields.push_back(std::move(field));
    }
    return screen;
}

}  // namespace screenlib::detail
