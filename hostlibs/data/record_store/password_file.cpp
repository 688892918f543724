#include "record_store/password_file.h"

#include <cstring>

#include "record_store/sodium_library.h"

namespace hostlibs::detail {

namespace {

// Distinguishes this use of the name as a salt from any other.
constexpr unsigned char kOlderSaltKey[] = "devgroup password file salt v1";

}  // namespace

bool hash_password(const uint8_t* password, std::string* hash) {
    const SodiumLibrary* sodium = sodium_library();
    if (sodium == nullptr) {
        return false;
    }
    char text[crypto_pwhash_STRBYTES];
    if (sodium->pwhash_str(text, reinterpret_cast<const char*>(password), kPasswordSize,
                           crypto_pwhash_OPSLIMIT_INTERACTIVE,
                           crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return false;
    }
    *hash = text;
    return true;
}

bool password_matches(const std::string& hash, const uint8_t* password) {
    const SodiumLibrary* sodium = sodium_library();
    return sodium != nullptr &&
           sodium->pwhash_str_verify(hash.c_str(), reinterpret_cast<const char*>(password),
                                     kPasswordSize) == 0;
}

bool older_password_key(uint8_t* key) {
    const SodiumLibrary* sodium = sodium_library();
    if (sodium == nullptr) {
        return false;
    }
    unsigned char salt[crypto_pwhash_SALTBYTES];
    sodium->generichash(salt, sizeof salt, key, kPasswordNameSize, kOlderSaltKey,
                        sizeof kOlderSaltKey - 1);
    unsigned char hash[crypto_pwhash_BYTES_MIN];
    static_assert(sizeof hash >= kPasswordSize);
    if (sodium->pwhash(hash, sizeof hash, reinterpret_cast<const char*>(key + kPasswordNameSize),
                       kPasswordSize, salt, crypto_pwhash_OPSLIMIT_INTERACTIVE,
                       crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return false;
    }
    std::memcpy(key + kPasswordNameSize, hash, kPasswordSize);
    sodium->memzero(hash, sizeof hash);
    return true;
}

}  // namespace hostlibs::detail
