// A screen loaded, painted and run headless under a key script. The input is
// a screen file holding a screen "s", then a line "%%", then the keys.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile scratch("RUN.L01");
    const std::string input = fuzz::text_of(data, size);
    const size_t split = input.find("\n%%\n");
    const std::string file_text = input.substr(0, split);
    const std::string keys = split == std::string::npos ? "" : input.substr(split + 4);

    screenlib::set_diagnostic_sink([](const std::string&) {});
    screenlib::HeadlessBackend& headless = screenlib::use_headless();
    std::string error;
    if (headless.set_script(keys, &error)) {
        std::vector<std::string> stand_ins;
        ScreenFile* file = screenlib::open_screen_file_with_stand_ins(
            scratch.write(file_text).c_str(), screenlib::library_function_table(), &stand_ins);
        for (int mode = 0; file != nullptr && mode < 2; ++mode) {
            Screen* screen = screenfile_load(file, "s", mode);
            if (screen == nullptr) {
                break;
            }
            screen_paint(screen);
            screen_run(screen);
            (void)headless.text();
            screen_close(screen);
        }
        screenfile_close(file);
    }
    screenlib::shutdown();
    return 0;
}
