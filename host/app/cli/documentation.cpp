// --help, the manual pages, the README's tables and the shell completion,
// each written from the same tables: the options of command_line.cpp, the
// subcommands, the editor's keys and the keys of host.conf.
#include "hostapp/documentation.h"

#include <sstream>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/editor_keys.h"
#include "cli/subcommands.h"
#include "root/host_config.h"

namespace hostapp {
namespace {

// A piece of a table row's term, drawn as what it is.
struct Piece {
    enum Kind { kLiteral, kValue, kPlain } kind;
    std::string text;
};

struct Row {
    std::vector<Piece> term;
    std::string text;
};

struct Table {
    std::vector<Row> rows;
    // The Markdown header and whether the term is set as code there.
    const char* markdown_header;
    bool term_as_code;
};

Table options_table() {
    Table table{{}, "| option | effect |\n|---|---|\n", true};
    for (const OptionHelp& option : options()) {
        Row row{{{Piece::kLiteral, option.name}}, option.help};
        if (option.value != nullptr) {
            row.term.push_back({Piece::kPlain, " "});
            row.term.push_back({Piece::kValue, option.value});
        }
        if (option.alias != nullptr) {
            row.term.push_back({Piece::kPlain, ", "});
            row.term.push_back({Piece::kLiteral, option.alias});
        }
        table.rows.push_back(row);
    }
    return table;
}

Table commands_table() {
    Table table{{}, "| command | what it does |\n|---|---|\n", true};
    for (const Subcommand& command : subcommands()) {
        Row row{{{Piece::kLiteral, command.words}}, command.help};
        if (command.operand != nullptr) {
            row.term.push_back({Piece::kPlain, " "});
            row.term.push_back({Piece::kValue, command.operand});
        }
        table.rows.push_back(row);
    }
    return table;
}

Table keys_table() {
    Table table{{}, "| key | what it does |\n|---|---|\n", false};
    for (const KeyHelp& key : editor_keys()) {
        table.rows.push_back({{{Piece::kLiteral, key.keys}}, key.help});
    }
    return table;
}

Table config_table() {
    Table table{{}, "| line | what it sets |\n|---|---|\n", true};
    for (const ConfigKeyHelp& key : config_keys()) {
        table.rows.push_back(
            {{{Piece::kLiteral, key.name}, {Piece::kPlain, " = "}, {Piece::kValue, key.value}},
             key.help});
    }
    return table;
}

bool find_table(std::string_view name, Table* table) {
    if (name == "options") {
        *table = options_table();
    } else if (name == "commands") {
        *table = commands_table();
    } else if (name == "keys") {
        *table = keys_table();
    } else if (name == "config") {
        *table = config_table();
    } else {
        return false;
    }
    return true;
}

std::string plain_term(const Row& row) {
    std::string term;
    for (const Piece& piece : row.term) {
        term += piece.text;
    }
    return term;
}

// Text as roff sets it: a backslash as itself, '-' as the minus sign that
// options are typed with, and no line taken for a request.
std::string roff_text(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

std::string roff_table(const Table& table) {
    std::string out;
    for (const Row& row : table.rows) {
        out += ".TP\n";
        for (const Piece& piece : row.term) {
            // Pieces appended one by one: GCC 12 at -O3 warns wrongly of
            // overlap in "literal" + std::string&&.
            const char* font = piece.kind == Piece::kLiteral ? "\\fB"
                               : piece.kind == Piece::kValue ? "\\fI"
                                                             : "";
            out += font;
            out += roff_text(piece.text);
            out += *font != '\0' ? "\\fR" : "";
        }
        out += '\n';
        out += roff_text(row.text);
        out += '\n';
    }
    return out;
}

// Text in a Markdown table cell: nothing read as markup, a tag or a cell's end.
std::string markdown_text(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '|' || c == '<' || c == '*' || c == '`') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string markdown_table(const Table& table) {
    std::string out = table.markdown_header;
    for (const Row& row : table.rows) {
        std::string term = plain_term(row);
        if (table.term_as_code) {
            // Inside code only the cell's end needs its escape.
            std::string code;
            for (char c : term) {
                code += c == '|' ? std::string("\\|") : std::string(1, c);
            }
            term = "`" + code + "`";
        } else {
            term = markdown_text(term);
        }
        out += "| " + term + " | " + markdown_text(row.text) + " |\n";
    }
    return out;
}

// The words of `text` on lines of at most `width` characters, each but the
// first indented by `indent`; a word longer than a line stands alone.
std::string wrapped(const std::string& text, size_t indent, size_t width) {
    std::istringstream words(text);
    std::string out;
    size_t column = indent;
    for (std::string word; words >> word;) {
        if (column > indent && column + 1 + word.size() > width) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

std::string help_table(const Table& table) {
    constexpr size_t kTermWidth = 22;
    constexpr size_t kIndent = 2 + kTermWidth + 1;
    std::string out;
    for (const Row& row : table.rows) {
        const std::string term = plain_term(row);
        out += "  " + term;
        if (term.size() > kTermWidth) {
            out += '\n';
            out.append(kIndent, ' ');
        } else {
            out += std::string(kTermWidth + 1 - term.size(), ' ');
        }
        out += wrapped(row.text, kIndent, 79) + "\n";
    }
    return out;
}

}  // namespace

std::string help_text() {
    return usage_line() + "\nOptions:\n" + help_table(options_table()) + "\nCommands:\n" +
           help_table(commands_table()) + "\nKeys in the editor:\n" + help_table(keys_table()) +
           "\nF10 opens the menu; File, Quit to the system leaves the editor. The terminal\n"
           "must be at least 80 columns by 24 rows.\n"
           "Exit codes: 0 success, 1 failure, 2 bad usage.\n";
}

bool fill_manual_page(const std::string& page_template, std::string* page, std::string* error) {
    constexpr std::string_view kMark = ".\\\" table: ";
    std::istringstream lines(page_template);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kMark, 0) != 0) {
            out += line + "\n";
            continue;
        }
        Table table;
        if (!find_table(line.substr(kMark.size()), &table)) {
            *error = "no table named '" + line.substr(kMark.size()) + "'";
            return false;
        }
        out += roff_table(table);
    }
    *page = out;
    return true;
}

bool fill_readme(const std::string& readme, std::string* filled, std::string* error) {
    constexpr std::string_view kOpen = "<!-- table: ";
    constexpr std::string_view kEnd = "<!-- end of table -->";
    std::istringstream lines(readme);
    std::string out;
    int line_number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++line_number;
        out += line + "\n";
        if (line.rfind(kOpen, 0) != 0) {
            continue;
        }
        const size_t close = line.find(" -->", kOpen.size());
        const std::string name = line.substr(kOpen.size(), close - kOpen.size());
        Table table;
        if (close == std::string::npos || !find_table(name, &table)) {
            *error = "line " + std::to_string(line_number) + ": no table named '" + name + "'";
            return false;
        }
        const int opened = line_number;
        bool ended = false;
        while (!ended && std::getline(lines, line)) {
            ++line_number;
            ended = line == kEnd;
        }
        if (!ended) {
            *error = "line " + std::to_string(opened) + ": the table " + name + " has no " +
                     std::string(kEnd);
            return false;
        }
        out += markdown_table(table) + std::string(kEnd) + "\n";
    }
    *filled = out;
    return true;
}

std::string bash_completion() {
    // Words separated by blanks, with a blank at each end so that
    // *" --name "* finds one.
    std::string all_options = " ";
    std::string value_options = " ";
    std::string dir_options = " ";
    std::string file_options = " ";
    for (const OptionHelp& option : options()) {
        all_options += std::string(option.name) + " ";
        if (option.alias != nullptr) {
            all_options += std::string(option.alias) + " ";
        }
        if (option.value == nullptr) {
            continue;
        }
        const std::string value = option.value;
        value_options += std::string(option.name) + " ";
        if (value == "DIR") {
            dir_options += std::string(option.name) + " ";
        } else if (value == "FILE" || value == "PATH" || value == "OUT" || value == "TARGET") {
            file_options += std::string(option.name) + " ";
        }
    }
    std::string commands;
    for (const Subcommand& command : subcommands()) {
        commands += std::string(" \"") + command.words +
                    (command.operand != nullptr ? std::string(" ") + command.operand : "") + "\"";
    }
    return "# bash completion for devgroup: its options, its commands and the words\n"
           "# of each command. Made from the program's own tables.\n"
           "_devgroup()\n"
           "{\n"
           "    local options='" +
           all_options +
           "'\n"
           "    local value_options='" +
           value_options +
           "'\n"
           "    local dir_options='" +
           dir_options +
           "'\n"
           "    local file_options='" +
           file_options +
           "'\n"
           "    local commands=(" +
           commands +
           " )\n"
           R"(    local cword=$COMP_CWORD cur=${COMP_WORDS[COMP_CWORD]} prev=
    # "--root=DIR" comes as three words: --root, = and DIR.
    [[ $cur == = ]] && cur=
    (( cword > 0 )) && prev=${COMP_WORDS[cword-1]}
    [[ $prev == = ]] && (( cword > 1 )) && prev=${COMP_WORDS[cword-2]}
    COMPREPLY=()
    if [[ $prev == -* && $dir_options == *" $prev "* ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
    fi
    if [[ $prev == -* && $file_options == *" $prev "* ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    [[ $prev == -* && $value_options == *" $prev "* ]] && return
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    # The command's words before the cursor: no option, no option's value.
    local typed=() i word
    for (( i = 1; i < cword; i++ )); do
        word=${COMP_WORDS[i]}
        if [[ $word == -* ]]; then
            if [[ $value_options == *" $word "* ]]; then
                (( i++ ))
                [[ ${COMP_WORDS[i]} == = ]] && (( i++ ))
            fi
            continue
        fi
        typed+=("$word")
    done
    # The next word of every command that starts with the words typed; an
    # operand (upper case) takes any word, and FILE a file name.
    local command parts next words=() files=0 j
    for command in "${commands[@]}"; do
        read -ra parts <<< "$command"
        (( ${#parts[@]} > ${#typed[@]} )) || continue
        for (( j = 0; j < ${#typed[@]}; j++ )); do
            [[ ${parts[j]} == [A-Z[]* || ${parts[j]} == "${typed[j]}" ]] || continue 2
        done
        next=${parts[${#typed[@]}]}
        if [[ $next == FILE ]]; then
            files=1
        elif [[ $next != [A-Z[]* && " ${words[*]} " != *" $next "* ]]; then
            words+=("$next")
        fi
    done
    mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
    if (( files )); then
        compopt -o filenames 2>/dev/null
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -F _devgroup devgroup
)";
}

}  // namespace hostapp
