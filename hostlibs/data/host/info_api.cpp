// General information: fresh file names.
#include <cstring>

#include "host/host_state.h"
#include "platform/host_libraries.h"

extern "C" int info_file_name(char* buffer) {
    hostlibs::detail::HostState* host = hostlibs::detail::host_state();
    if (host == nullptr || buffer == nullptr) {
        return 1;
    }
    // Names are for report files in TEMP; skip any whose report file exists.
    char name[12];
    try {
        if (!host->file_names.next(hostlibs::detail::clock_now(), host->data_native + "TEMP/",
                                   ".LST", name)) {
            return 2;
        }
    } catch (...) {
        return 2;
    }
    std::memcpy(buffer, name, sizeof name);
    return 0;
}
