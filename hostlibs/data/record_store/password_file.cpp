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

bool PasswordHashes::open(Database& db, std::string* error) {
    // An older file opened read-only has no table of hashes, nor can it get
    // one: its records are found by their hashed keys alone.
    if (sqlite3_db_readonly(db.get(), "main") == 1 &&
        !select_.prepare(db, "SELECT hash FROM password_hashes WHERE name = ?1", nullptr)) {
        return true;
    }
    return db.exec(
               "CREATE TABLE IF NOT EXISTS password_hashes("
               " name BLOB PRIMARY KEY, hash TEXT NOT NULL)",
               error) &&
           select_.prepare(db, "SELECT hash FROM password_hashes WHERE name = ?1", error) &&
           upsert_.prepare(db,
                           "INSERT INTO password_hashes(name, hash) VALUES(?1, ?2)"
                           " ON CONFLICT(name) DO UPDATE SET hash = excluded.hash",
                           error);
}

void PasswordHashes::close() {
    select_.finalize();
    upsert_.finalize();
}

bool PasswordHashes::find(const uint8_t* name, std::string* hash) {
    if (select_.get() == nullptr) {
        return false;
    }
    select_.bind_blob(1, name, kPasswordNameSize);
    ResetOnExit reset(select_);
    if (select_.step() != SQLITE_ROW) {
        return false;
    }
    *hash = select_.column_text(0);
    return true;
}

int PasswordHashes::store(const uint8_t* name, const std::string& hash) {
    if (upsert_.get() == nullptr) {
        return SQLITE_READONLY;
    }
    upsert_.bind_blob(1, name, kPasswordNameSize);
    upsert_.bind_text(2, hash);
    ResetOnExit reset(upsert_);
    const int rc = upsert_.step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace hostlibs::detail
