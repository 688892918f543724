#include "screen_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "library_state.h"
#include "platform/bounded_read.h"
#include "platform/native_files.h"
#include "platform/screen_size.h"

namespace screenlib::detail {

namespace {

constexpr std::size_t kMaxLineLength = 1024;
// Room for tens of thousands of screens; a larger file is refused unread.
constexpr std::size_t kMaxFileBytes = 32 << 20;
constexpr int kScreenRows = SCREEN_ROWS;
constexpr int kScreenColumns = SCREEN_COLUMNS;

enum FunctionClass {
    kFieldSets = 0,
    kKeyHandlers = 2,
    kBorders = 5,
    kMouseHandlers = 6,
    kWindowClasses = 10
};

extern "C" int stand_in_key_handler(Screen*, int) {
    return 0;
}

struct ParseError {
    int line;
    std::string message;
};

const ScreenFunctionEntry* find_entry(const ScreenFunctionEntry* table, int wanted,
                                      const std::string& name) {
    if (!table) {
        return nullptr;
    }
    int section = -1;
    for (const ScreenFunctionEntry* entry = table; entry->name != nullptr; ++entry) {
        const std::string_view entry_name(entry->name);
        if (entry_name.size() > 1 && entry_name[0] == '$' && !entry->function && !entry->data) {
            section = std::atoi(entry->name + 1);
            continue;
        }
        if (section == wanted && entry_name == name) {
            return entry;
        }
    }
    return nullptr;
}

// The lines of a text already read, one at a time.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : text_(text) {}

    bool next(std::string& line) {
        if (at_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find('\n', at_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        line.assign(text_.substr(at_, end - at_));
        at_ = end + 1;
        return true;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

class Reader {
  public:
    Reader(const ScreenFunctionEntry* table, std::vector<std::string>* stand_ins)
        : table_(table), stand_ins_(stand_ins) {}

    void read(LineCursor& input) {
        std::string line;
        while (next_line(input, line)) {
            if (is_skippable(line)) {
                continue;
            }
            const auto words = split(line);
            if (words.empty()) {
                continue;  // only a comment
            }
            if (words.size() == 2 && words[0] == "screen") {
                read_screen(input, words[1]);
            } else {
                fail("expected 'screen NAME'", first_word(line));
            }
        }
    }

    std::vector<ScreenDefinition> take() { return std::move(screens_); }

  private:
    [[noreturn]] void fail(const std::string& message, const std::string& name = {}) {
        throw ParseError{line_number_, name.empty() ? message : message + " '" + name + "'"};
    }

    bool next_line(LineCursor& input, std::string& line) {
        if (!input.next(line)) {
            return false;
        }
        ++line_number_;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return true;
    }

    static bool is_skippable(const std::string& line) {
        return line.empty() || line[0] == '#' || line.find_first_not_of(" \t") == std::string::npos;
    }

    static std::string first_word(const std::string& line) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        return word;
    }

    // Splits at blanks; a word in double quotes may hold blanks, \" and \\;
    // an unquoted '#' starts a comment that runs to the end of the line.
    std::vector<std::string> split(const std::string& line) {
        std::vector<std::string> words;
        std::size_t i = 0;
        while (i < line.size()) {
            if (line[i] == ' ' || line[i] == '\t') {
                ++i;
                continue;
            }
            if (line[i] == '#') {
                break;  // the rest of the line is a comment
            }
            std::string word;
            if (line[i] == '"') {
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size()) {
                        word += line[i + 1];
                        i += 2;
                    } else if (line[i] == '"') {
                        ++i;
                        closed = true;
                        break;
                    } else {
                        word += line[i++];
                    }
                }
                if (!closed) {
                    fail("unterminated quoted text");
                }
                words.push_back('"' + word);  // the mark tells quoted text from a word
                continue;
            }
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                word += line[i++];
            }
            words.push_back(word);
        }
        return words;
    }

    int number(const std::string& word, int low, int high) {
        if (word.empty() || word.size() > 6) {
            fail("bad number", word);
        }
        std::size_t start = word[0] == '-' ? 1 : 0;
        if (start == word.size()) {
            fail("bad number", word);
        }
        for (std::size_t i = start; i < word.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(word[i]))) {
                fail("bad number", word);
            }
        }
        const int value = std::stoi(word);
        if (value < low || value > high) {
            fail("number out of range", word);
        }
        return value;
    }

    uint8_t attribute(const std::string& word) {
        if (word.empty() || word.size() > 2) {
            fail("bad colour byte", word);
        }
        for (char ch : word) {
            if (!std::isxdigit(static_cast<unsigned char>(ch))) {
                fail("bad colour byte", word);
            }
        }
        return static_cast<uint8_t>(std::stoi(word, nullptr, 16));
    }

    const ScreenFunctionEntry* resolve(int cls, const std::string& name, const char* role) {
        const ScreenFunctionEntry* entry = find_entry(table_, cls, name);
        if (!entry && !stand_ins_) {
            fail(std::string("unknown ") + role, name);
        }
        if (entry && cls == kFieldSets && !entry->data) {
            fail(std::string("empty ") + role, name);
        }
        if (entry && cls != kFieldSets && !entry->function) {
            fail(std::string("empty ") + role, name);
        }
        if (!entry) {
            const std::string stand_in = std::string(role) + " '" + name + "'";
            if (std::find(stand_ins_->begin(), stand_ins_->end(), stand_in) == stand_ins_->end()) {
                stand_ins_->push_back(stand_in);
            }
        }
        return entry;
    }

    template <typename Function>
    Function resolve_function(int cls, const std::string& name, const char* role,
                              Function stand_in) {
        const ScreenFunctionEntry* entry = resolve(cls, name, role);
        return entry ? reinterpret_cast<Function>(entry->function) : stand_in;
    }

    void read_screen(LineCursor& input, const std::string& name) {
        if (!names_.insert(name).second) {
            fail("second screen named", name);
        }
        ScreenDefinition screen;
        screen.name = name;
        screen.line = line_number_;
        bool have_picture = false;
        std::vector<FieldDefinition> picture_fields;
        std::size_t field_lines = 0;
        std::string line;
        while (true) {
            if (!next_line(input, line)) {
                line_number_ = screen.line;
                fail("unterminated screen", name);
            }
            if (is_skippable(line)) {
                continue;
            }
            const auto words = split(line);
            if (words.empty()) {
                continue;  // only a comment
            }
            const std::string& keyword = words[0];
            const std::size_t arguments = words.size() - 1;
            auto expect = [&](std::size_t count) {
                if (arguments != count) {
                    fail("wrong number of words after", keyword);
                }
            };
            if (keyword == "end" && arguments == 1 && words[1] == "screen") {
                break;
            } else if (keyword == "window") {
                expect(1);
                screen.window_class = resolve_function<ScreenWindowClass>(
                    kWindowClasses, words[1], "window class", sedwin_Class);
            } else if (keyword == "border") {
                expect(1);
                screen.border = words[1] == "none" ? nullptr
                                                   : resolve_function<ScreenBorder>(
                                                         kBorders, words[1], "border", bd_1);
            } else if (keyword == "keys") {
                expect(1);
                screen.key_handler = resolve_function<ScreenKeyHandler>(
                    kKeyHandlers, words[1], "key handler", stand_in_key_handler);
            } else if (keyword == "mouse") {
                expect(1);
                screen.mouse_handler = resolve_function<ScreenMouseHandler>(
                    kMouseHandlers, words[1], "mouse handler", mouse_default);
            } else if (keyword == "at") {
                expect(2);
                screen.row = number(words[1], 0, kScreenRows - 1);
                screen.column = number(words[2], 0, kScreenColumns - 1);
            } else if (keyword == "colors") {
                expect(4);
                screen.colors = std::array<uint8_t, 4>{attribute(words[1]), attribute(words[2]),
                                                       attribute(words[3]), attribute(words[4])};
            } else if (keyword == "picture") {
                expect(0);
                if (have_picture) {
                    fail("second picture in screen", name);
                }
                read_picture(input, screen, picture_fields);
                have_picture = true;
            } else if (keyword == "field") {
                if (!have_picture) {
                    fail("field line before the picture of screen", name);
                }
                if (field_lines >= picture_fields.size()) {
                    fail("more field lines than fields in the picture of screen", name);
                }
                read_field(words, static_cast<int>(field_lines), picture_fields[field_lines]);
                ++field_lines;
            } else {
                fail("unknown word", keyword);
            }
        }
        if (!have_picture) {
            fail("no picture in screen", name);
        }
        if (field_lines != picture_fields.size()) {
            fail("the picture has " + std::to_string(picture_fields.size()) +
                     " fields but there are " + std::to_string(field_lines) +
                     " field lines in screen",
                 name);
        }
        screen.fields = std::move(picture_fields);
        const int border = screen.border ? 2 : 0;
        const int rows = static_cast<int>(screen.picture.size()) + border;
        const int columns =
            static_cast<int>(screen.picture.empty() ? 0 : screen.picture[0].size()) + border;
        if (screen.row + rows > kScreenRows || screen.column + columns > kScreenColumns) {
            fail("window goes past the 80x25 screen in screen", name);
        }
        screens_.push_back(std::move(screen));
    }

    void read_picture(LineCursor& input, ScreenDefinition& screen,
                      std::vector<FieldDefinition>& fields) {
        std::string line;
        std::size_t width = 0;
        while (true) {
            if (!next_line(input, line)) {
                fail("unterminated picture in screen", screen.name);
            }
            if (line == "end") {
                break;
            }
            if (line.size() < 2 || line.front() != '|' || line.back() != '|') {
                fail("picture line not framed by '|' in screen", screen.name);
            }
            if (screen.picture.size() >= static_cast<std::size_t>(kScreenRows)) {
                fail("picture taller than the screen in screen", screen.name);
            }
            const int row = static_cast<int>(screen.picture.size());
            std::string cells;
            std::optional<std::size_t> field_start;
            auto close_field = [&](std::size_t end) {
                if (!field_start) {
                    return;
                }
                FieldDefinition field;
                field.row = row;
                field.column = static_cast<int>(*field_start);
                field.width = static_cast<int>(end - *field_start);
                fields.push_back(field);
                field_start.reset();
            };
            for (std::size_t i = 1; i + 1 < line.size(); ++i) {
                if (line[i] == '\\' && i + 2 < line.size()) {
                    close_field(cells.size());
                    cells += shown_character(line[++i]);
                } else if (line[i] == '_') {
                    if (!field_start) {
                        field_start = cells.size();
                    }
                    cells += ' ';
                } else {
                    close_field(cells.size());
                    cells += shown_character(line[i]);
                }
            }
            close_field(cells.size());
            if (cells.size() > static_cast<std::size_t>(kScreenColumns)) {
                fail("picture line wider than the screen in screen", screen.name);
            }
            width = std::max(width, cells.size());
            screen.picture.push_back(cells);
        }
        for (auto& picture_line : screen.picture) {
            picture_line.resize(width, ' ');
        }
    }

    void read_field(const std::vector<std::string>& words, int expected, FieldDefinition& field) {
        if (words.size() < 4) {
            fail("field line needs NUMBER KIND SET");
        }
        const int given = number(words[1], 0, 9999);
        if (given != expected) {
            fail("field line out of order, expected field " + std::to_string(expected), words[1]);
        }
        const std::string& kind = words[2];
        if (kind == "string") {
            field.kind = FieldKind::String;
        } else if (kind == "masked") {
            field.kind = FieldKind::Masked;
        } else if (kind == "choice") {
            field.kind = FieldKind::Choice;
        } else {
            fail("unknown field kind", kind);
        }
        const std::string& set = words[3];
        if (set == "-") {
            field.functions = field.kind == FieldKind::Choice   ? &menu_field_funcs
                              : field.kind == FieldKind::Masked ? &masked_field_funcs
                                                                : &string_field_funcs;
        } else {
            const ScreenFunctionEntry* entry = resolve(kFieldSets, set, "field-function set");
            field.functions =
                entry ? static_cast<const FieldFunctions*>(entry->data) : &string_field_funcs;
        }
        for (std::size_t i = 4; i < words.size(); ++i) {
            if (words[i] == "display") {
                field.display_only = true;
            } else if (words[i] == "value" && i + 1 < words.size()) {
                field.value = number(words[++i], -32768, 32767);
            } else if (words[i] == "text" && i + 1 < words.size() && !words[i + 1].empty() &&
                       words[i + 1][0] == '"') {
                field.text = words[++i].substr(1);
            } else {
                fail("unknown word in field line", words[i]);
            }
        }
    }

    const ScreenFunctionEntry* table_;
    std::vector<std::string>* stand_ins_;
    std::vector<ScreenDefinition> screens_;
    std::unordered_set<std::string> names_;
    int line_number_ = 0;
};

}  // namespace

std::unique_ptr<ScreenFile> read_screen_file(const std::string& path,
                                             const ScreenFunctionEntry* table,
                                             std::vector<std::string>* stand_ins) {
    // Modules name files in the host's form ('\\'-separated); the platform layer maps them.
    char native[4096];
    if (!native_path(path.c_str(), native, sizeof native)) {
        diagnose(path + ":0: path too long for a screen file");
        return nullptr;
    }
    // Diagnostics name the file as the operator finds it on disk.
    const std::string shown = native;
    errno = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> input_file(std::fopen(native, "rb"), &std::fclose);
    if (!input_file) {
        // A file that is not there is no fault in a file: the caller, which
        // may try another language's next, tells of it when it matters.
        if (errno != ENOENT) {
            diagnose(shown +
                     ":0: cannot open the screen file: " + std::strerror(errno != 0 ? errno : EIO));
        }
        return nullptr;
    }
    std::string text;
    ReadFailure failure;
    if (!read_bounded(input_file.get(), ReadLimits{kMaxFileBytes, kMaxLineLength}, &text,
                      &failure)) {
        diagnose(shown + ":" + std::to_string(failure.line) + ": " +
                 (failure.line == 0 ? "cannot read the screen file: " : "") + failure.reason);
        return nullptr;
    }
    input_file.reset();
    Reader reader(table, stand_ins);
    LineCursor input(text);
    try {
        reader.read(input);
    } catch (const ParseError& error) {
        diagnose(shown + ":" + std::to_string(error.line) + ": " + error.message);
        return nullptr;
    }
    auto file = std::make_unique<ScreenFile>();
    file->path = shown;
    file->screens = reader.take();
    return file;
}

std::unique_ptr<Screen> build_screen(const ScreenDefinition& definition, int mode) {
    auto screen = std::make_unique<Screen>();
    screen->name = definition.name;
    screen->window_class = definition.window_class;
    screen->border = definition.border;
    screen->key_handler = definition.key_handler;
    screen->mouse_handler = definition.mouse_handler;
    screen->row = definition.row;
    screen->column = definition.column;
    screen->picture = definition.picture;
    screen->inner_rows = static_cast<int>(definition.picture.size());
    screen->inner_columns =
        definition.picture.empty() ? 0 : static_cast<int>(definition.picture[0].size());
    screen->popup = mode == 1;
    if (definition.colors) {
        const auto& c = *definition.colors;
        screen->colors = Colors{c[0], c[1], c[2], c[3]};
    }
    for (const FieldDefinition& source : definition.fields) {
        Field field;
        field.row = source.row;
        field.column = source.column;
        field.kind = source.kind;
        field.functions = source.functions;
        field.value = source.value;
        field.display_only = source.display_only;
        field.record.assign(static_cast<std::size_t>(source.width) + 1, ' ');
        field.record.back() = '\0';
        for (int i = 0; i < source.width; ++i) {
            field.cells.push_back(i);
        }
        const std::string_view text(source.text);
        for (std::size_t i = 0; i < text.size() && i < static_cast<std::size_t>(source.width);
             ++i) {
            field.record[i] = shown_character(text[i]);
        }
        screen->fields.push_back(std::move(field));
    }
    return screen;
}

}  // namespace screenlib::detail
