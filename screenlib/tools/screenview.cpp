// screenview FILE SCREEN [KEYS]: loads one screen of a screen file, runs it
// headless under the keys and prints the screen as text. Names the library
// does not know stand in as handlers that consume nothing or as the
// library's string field set; they are listed on stderr.
// screenview --terminal FILE SCREEN runs the screen in the terminal instead,
// showing the name of each key pressed on the prompt line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

namespace {

// Shows each key's name on the prompt line and leaves the key to the library.
int show_key(Screen* screen, int key) {
    screen_set_prompt(screen, screenlib::key_name(key).c_str());
    return 0;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "screenview: %s\n", message.c_str());
    screenlib::shutdown();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool terminal = argc > 1 && std::string(argv[1]) == "--terminal";
    if (terminal) {
        --argc;
        ++argv;
    }
    if (argc < 3 || argc > (terminal ? 3 : 4)) {
        std::fprintf(
            stderr,
            "usage: screenview FILE SCREEN [KEYS]\n       screenview --terminal FILE SCREEN\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string name = argv[2];
    screenlib::HeadlessBackend* headless = nullptr;
    std::string error;
    if (terminal) {
        if (!screenlib::use_terminal(&error)) {
            return fail(error);
        }
    } else {
        headless = &screenlib::use_headless(SCREEN_ROWS, SCREEN_COLUMNS);
        if (argc == 4 && !headless->set_script(argv[3], &error)) {
            return fail(error);
        }
    }

    std::vector<std::string> messages;
    screenlib::set_diagnostic_sink(
        [&](const std::string& message) { messages.push_back(message); });
    std::vector<std::string> stand_ins;
    ScreenFile* file = screenlib::open_screen_file_with_stand_ins(
        path.c_str(), screenlib::library_function_table(), &stand_ins);
    Screen* screen = file ? screenfile_load(file, name.c_str(), 0) : nullptr;
    if (!screen) {
        screenlib::shutdown();  // the terminal is itself again before anything is printed
        for (const auto& message : messages) {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
        return fail(file                            ? "no screen '" + name + "' in " + path
                    : std::filesystem::exists(path) ? "cannot load " + path
                                                    : "no such file: " + path);
    }
    if (terminal) {
        screen_set_special(screen, show_key);
    }
    screen_paint(screen);
    const int result = screen_run(screen);
    const std::string text = headless ? headless->text() : std::string();
    screen_close(screen);
    screenfile_close(file);
    screenlib::shutdown();
    for (const auto& stand_in : stand_ins) {
        std::fprintf(stderr, "screenview: stand-in for %s\n", stand_in.c_str());
    }
    if (headless) {
        std::printf("%s\n", code_page::to_utf8(text).c_str());
    }
    std::fprintf(stderr, "screenview: screen_run gave %d\n", result);
    return 0;
}
