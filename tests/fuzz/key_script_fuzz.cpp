// The key-script parser; every key it gives has a name that parses back to it.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "screenlib/screenlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int> keys;
    std::string error;
    if (!screenlib::parse_key_script(fuzz::text_of(data, size), &keys, &error)) {
        fuzz::check(!error.empty() && keys.empty(), "a refused script names its fault");
        return 0;
    }
    std::string script;
    for (int key : keys) {
        script += screenlib::key_name(key);
    }
    std::vector<int> again;
    fuzz::check(screenlib::parse_key_script(script, &again, &error), "named keys parse");
    fuzz::check(again == keys, "named keys give the same codes");
    return 0;
}
