// The help-file parser and its topic lookup.
#include "fuzz_support.h"
#include "hostlibs/help.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hostlibs::HelpFile help;
    std::string error;
    if (hostlibs::parse_help(fuzz::text_of(data, size), &help, &error)) {
        for (int context : {0, 1, 1100, 1101, 65535}) {
            (void)help.find(context);
        }
    } else {
        fuzz::check(!error.empty(), "a refused help file gives a reason");
    }
    return 0;
}
