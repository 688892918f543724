// The screen-file parser: any bytes open or are refused with a reason.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile scratch("SCREENS.L01");
    static bool quiet = [] {
        screenlib::set_diagnostic_sink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    const std::string& path =
        scratch.write(std::string_view(reinterpret_cast<const char*>(data), size));
    ScreenFile* strict = screenfile_open(path.c_str(), screenlib::library_function_table());
    screenfile_close(strict);
    std::vector<std::string> stand_ins;
    ScreenFile* lenient = screenlib::open_screen_file_with_stand_ins(
        path.c_str(), screenlib::library_function_table(), &stand_ins);
    screenfile_close(lenient);
    return 0;
}
