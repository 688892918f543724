// The password file keeps no password. Its records hold the name, with the
// password part of the key blank; beside them, in the same store, each name
// has an Argon2id hash string (random salt, its own cost settings) of its
// password (RecordStorage::find_hash). A get-equal on name and password finds
// the record by name and verifies the typed password against the hash.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/host_records.h"

namespace hostlibs::detail {

// Key number 0 of the password file: the name and the password behind it.
inline constexpr int kPasswordNameSize = sizeof(PasswordRecord::name);
inline constexpr int kPasswordSize = sizeof(PasswordRecord::password);
inline constexpr int kPasswordKeySize = kPasswordNameSize + kPasswordSize;
static_assert(offsetof(PasswordRecord, password) == kPasswordNameSize,
              "the password follows the name");

// The hash string of an 8-byte (blank-padded) password; false when hashing
// failed (out of memory, or libsodium cannot be loaded).
bool hash_password(const uint8_t* password, std::string* hash);
// True when the 8-byte password matches the hash string.
bool password_matches(const std::string& hash, const uint8_t* password);

// The key under which files made before hashes were kept store a record: the
// password part replaced by 8 bytes of a hash salted from the name.
bool older_password_key(uint8_t* key);

}  // namespace hostlibs::detail
