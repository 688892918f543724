// host.conf: parsed or refused; an accepted one has a default user among its users.
#include "fuzz_support.h"
#include "root/host_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hostapp::HostConfig config;
    std::string error;
    if (hostapp::parse_host_config(fuzz::text_of(data, size), &config, &error)) {
        fuzz::check(config.find_user(config.default_user) != nullptr, "the default user exists");
        (void)hostapp::make_settings(config);
    } else {
        fuzz::check(!error.empty(), "a refused host.conf gives a reason");
    }
    return 0;
}
