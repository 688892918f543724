// libsodium, loaded when a password is first hashed or checked instead of at
// every start: most runs never touch a password, and each library mapped at
// start-up adds its loading and relocation to the time before the first paint.
#pragma once

#include <sodium.h>

namespace hostlibs::detail {

struct SodiumLibrary {
    decltype(&crypto_pwhash_str) pwhash_str;
    decltype(&crypto_pwhash_str_verify) pwhash_str_verify;
    decltype(&crypto_pwhash) pwhash;
    decltype(&crypto_generichash) generichash;
    decltype(&sodium_memzero) memzero;
};

// The library, loaded and initialised at the first call; null when it cannot
// be loaded or initialised (then every later call says so too).
const SodiumLibrary* sodium_library();

}  // namespace hostlibs::detail
