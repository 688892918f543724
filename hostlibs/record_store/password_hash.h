// The password file keeps no password. The password part of a record's key
// (bytes 30 to 37) is stored as the first 8 bytes of an Argon2id hash of the
// password, salted from the name; a get-equal on name and password hashes the
// typed password the same way, so it finds the record exactly when the
// password matches, and the caller's buffer gets the typed password back.
#pragma once

#include <cstdint>

namespace hostlibs::detail {

inline constexpr int kPasswordNameSize = 30;
inline constexpr int kPasswordSize = 8;

// Replaces the password at `key` + 30 (8 bytes) by its stored form; the name
// is the 30 bytes at `key`. False when hashing failed (out of memory).
bool hash_password_key(uint8_t* key);

}  // namespace hostlibs::detail
