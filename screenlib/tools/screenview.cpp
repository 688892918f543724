// screenview FILE SCREEN [KEYS]: loads one screen of a screen file, runs it
// headless under the keys and prints the screen as text. Names the library
// does not know stand in as handlers that consume nothing or as the
// library's string field set; they are listed on stderr.
#include <cstdio>
#include <string>
#include <vector>

#include "screen_library.h"
#include "screenlib/screenlib.h"

namespace {

template <typename Function>
AnyFunction any(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

const ScreenFunctionEntry kLibraryObjects[] = {
    {"$0", nullptr, nullptr},
    {"string_field_funcs", nullptr, &string_field_funcs},
    {"menu_field_funcs", nullptr, &menu_field_funcs},
    {"masked_field_funcs", nullptr, &masked_field_funcs},
    {"$9", nullptr, nullptr},
    {"$10", nullptr, nullptr},
    {"sedwin_Class", any(sedwin_Class), nullptr},
    {"$5", nullptr, nullptr},
    {"bd_prompt", any(bd_prompt), nullptr},
    {"bd_1", any(bd_1), nullptr},
    {"$6", nullptr, nullptr},
    {"sedmou_GreedyClick", any(sedmou_GreedyClick), nullptr},
    {"mouse_default", any(mouse_default), nullptr},
    {"$1", nullptr, nullptr},
    {"$4", nullptr, nullptr},
    {"$2", nullptr, nullptr},
    {"$8", nullptr, nullptr},
    {nullptr, nullptr, nullptr},
};

int fail(const std::string& message) {
    std::fprintf(stderr, "screenview: %s\n", message.c_str());
    screenlib::shutdown();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: screenview FILE SCREEN [KEYS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string name = argv[2];
    screenlib::HeadlessBackend& backend = screenlib::use_headless(25, 80);
    std::string error;
    if (argc == 4 && !backend.set_script(argv[3], &error))
        return fail(error);

    std::vector<std::string> messages;
    screenlib::set_diagnostic_sink(
        [&](const std::string& message) { messages.push_back(message); });
    std::vector<std::string> stand_ins;
    ScreenFile* file =
        screenlib::open_screen_file_with_stand_ins(path.c_str(), kLibraryObjects, &stand_ins);
    Screen* screen = file ? screenfile_load(file, name.c_str(), 0) : nullptr;
    if (!screen) {
        for (const auto& message : messages)
            std::fprintf(stderr, "%s\n", message.c_str());
        return fail(file ? "no screen '" + name + "' in " + path : "cannot load " + path);
    }
    for (const auto& stand_in : stand_ins)
        std::fprintf(stderr, "screenview: stand-in for %s\n", stand_in.c_str());

    screen_paint(screen);
    const int result = screen_run(screen);
    std::printf("%s\n", backend.text().c_str());
    std::fprintf(stderr, "screenview: screen_run gave %d\n", result);
    screen_close(screen);
    screenfile_close(file);
    screenlib::shutdown();
    return 0;
}
