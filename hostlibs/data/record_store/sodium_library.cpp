#include "record_store/sodium_library.h"

#include <dlfcn.h>

#include <string>

#include "hostlibs/host_setup.h"

namespace hostlibs::detail {

namespace {

template <typename Function>
bool find(void* handle, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(dlsym(handle, name));
    return *function != nullptr;
}

const SodiumLibrary* load() {
    // Kept loaded for the process's life: its functions may run at any time.
    void* handle = dlopen(SODIUM_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        log_host_failure("RECORDS", kPasswordLibraryFailed,
                         std::string("no password can be hashed or checked: ") +
                             (why != nullptr ? why : SODIUM_SONAME));
        return nullptr;
    }
    static SodiumLibrary library{};
    decltype(&sodium_init) init = nullptr;
    const bool complete = find(handle, "sodium_init", &init) &&
                          find(handle, "crypto_pwhash_str", &library.pwhash_str) &&
                          find(handle, "crypto_pwhash_str_verify", &library.pwhash_str_verify) &&
                          find(handle, "crypto_pwhash", &library.pwhash) &&
                          find(handle, "crypto_generichash", &library.generichash) &&
                          find(handle, "sodium_memzero", &library.memzero);
    if (!complete || init() < 0) {
        log_host_failure("RECORDS", kPasswordLibraryFailed,
                         "no password can be hashed or checked: " SODIUM_SONAME
                         " lacks a function or did not initialise");
        return nullptr;
    }
    return &library;
}

}  // namespace

const SodiumLibrary* sodium_library() {
    static const SodiumLibrary* const loaded = load();
    return loaded;
}

}  // namespace hostlibs::detail
