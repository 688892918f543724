// The text viewer's readers: its argument text and the report bytes. What it
// shows holds only characters of the code page, no control byte.
#include "fuzz_support.h"
#include "platform/code_page.h"
#include "report_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::text_of(data, size);
    hostapp::ViewerArguments arguments;
    std::string error;
    if (!hostapp::parse_viewer_arguments(text, &arguments, &error)) {
        fuzz::check(!error.empty(), "refused arguments give a reason");
    }
    for (const hostapp::ReportPage& page : hostapp::render_report(text)) {
        for (const std::string& line : page) {
            for (char c : line) {
                fuzz::check(code_page::is_character(static_cast<unsigned char>(c)),
                            "shown text is characters of the code page");
            }
        }
    }
    return 0;
}
