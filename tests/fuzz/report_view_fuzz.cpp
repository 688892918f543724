// The text viewer's readers: its argument text and the report bytes. What it
// shows holds only printable characters.
#include "fuzz_support.h"
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
                fuzz::check(c >= 0x20 && c < 0x7F, "shown text is printable");
            }
        }
    }
    return 0;
}
