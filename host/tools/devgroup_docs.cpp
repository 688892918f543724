// devgroup_docs: writes the manual pages and the bash completion from the
// program's own tables at build time, and checks or rewrites the README's
// tables.
//
//   devgroup_docs man TEMPLATE OUT
//   devgroup_docs completion OUT
//   devgroup_docs readme README [--check]
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "hostapp/documentation.h"

namespace {

bool read_whole(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return !in.bad();
}

bool write_whole(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out.good();
}

int fail(const std::string& message) {
    std::cerr << "devgroup_docs: " << message << "\n";
    return 1;
}

int usage() {
    std::cerr << "usage: devgroup_docs man TEMPLATE OUT\n"
                 "       devgroup_docs completion OUT\n"
                 "       devgroup_docs readme README [--check]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::string text;
    std::string error;
    if (mode == "man" && argc == 4) {
        std::string page;
        if (!read_whole(argv[2], &text)) {
            return fail(std::string("cannot read ") + argv[2]);
        }
        if (!hostapp::fill_manual_page(text, &page, &error)) {
            return fail(std::string(argv[2]) + ": " + error);
        }
        return write_whole(argv[3], page) ? 0 : fail(std::string("cannot write ") + argv[3]);
    }
    if (mode == "completion" && argc == 3) {
        return write_whole(argv[2], hostapp::bash_completion())
                   ? 0
                   : fail(std::string("cannot write ") + argv[2]);
    }
    const bool check = argc == 4 && std::string(argv[3]) == "--check";
    if (mode == "readme" && (argc == 3 || check)) {
        std::string filled;
        if (!read_whole(argv[2], &text)) {
            return fail(std::string("cannot read ") + argv[2]);
        }
        if (!hostapp::fill_readme(text, &filled, &error)) {
            return fail(std::string(argv[2]) + ": " + error);
        }
        if (filled == text) {
            return 0;
        }
        if (check) {
            return fail(std::string(argv[2]) +
                        ": its tables of options, keys or host.conf keys differ from the "
                        "program's; run make docs");
        }
        return write_whole(argv[2], filled) ? 0 : fail(std::string("cannot write ") + argv[2]);
    }
    return usage();
}
