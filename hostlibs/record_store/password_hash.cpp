#include "record_store/password_hash.h"

#include <sodium.h>

#include <cstring>

namespace hostlibs::detail {

namespace {

// Distinguishes this use of the name as a salt from any other.
constexpr unsigned char kSaltKey[] = "devgroup password file salt v1";

}  // namespace

bool hash_password_key(uint8_t* key) {
    if (sodium_init() < 0) {
        return false;
    }
    unsigned char salt[crypto_pwhash_SALTBYTES];
    crypto_generichash(salt, sizeof salt, key, kPasswordNameSize, kSaltKey, sizeof kSaltKey - 1);
    unsigned char hash[crypto_pwhash_BYTES_MIN];
    static_assert(sizeof hash >= kPasswordSize);
    if (crypto_pwhash(hash, sizeof hash, reinterpret_cast<const char*>(key + kPasswordNameSize),
                      kPasswordSize, salt, crypto_pwhash_OPSLIMIT_INTERACTIVE,
                      crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return false;
    }
    std::memcpy(key + kPasswordNameSize, hash, kPasswordSize);
    sodium_memzero(hash, sizeof hash);
    return true;
}

}  // namespace hostlibs::detail
