// The password file keeps no password. Its records hold the name, with the
// password part of the key blank; beside them, in the same database, each
// name has an Argon2id hash string (random salt, its own cost settings) of
// its password. A get-equal on name and password finds the record by name
// and verifies the typed password against the hash.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/sqlite_handle.h"

namespace hostlibs::detail {

inline constexpr int kPasswordNameSize = 30;
inline constexpr int kPasswordSize = 8;
inline constexpr int kPasswordKeySize = kPasswordNameSize + kPasswordSize;

// The hash string of an 8-byte (blank-padded) password; false when hashing
// failed (out of memory, or libsodium cannot be loaded).
bool hash_password(const uint8_t* password, std::string* hash);
// True when the 8-byte password matches the hash string.
bool password_matches(const std::string& hash, const uint8_t* password);

// The key under which files made before hashes were kept store a record: the
// password part replaced by 8 bytes of a hash salted from the name.
bool older_password_key(uint8_t* key);

// The hashes beside the records: table password_hashes(name BLOB PRIMARY KEY, hash TEXT).
class PasswordHashes {
  public:
    bool open(Database& db, std::string* error);
    void close();

    // The hash of a name (30 bytes); false when the name has none.
    bool find(const uint8_t* name, std::string* hash);
    // Inserts or replaces a name's hash; an SQLite result. Runs inside the
    // caller's transaction.
    int store(const uint8_t* name, const std::string& hash);

    // The password bytes the last read handed the caller: an update that
    // leaves them as they are keeps the password.
    std::array<uint8_t, kPasswordSize> delivered{};

  private:
    Statement select_;
    Statement upsert_;
};

}  // namespace hostlibs::detail
