// The shared store's schema, with a version number so that a store made by
// one program version is used only by programs that know it.
//
// store_meta(name, value)               'schema_version' -> kStoreSchemaVersion
// layouts(table_name, record_size, key_size)   one row per record file
// devices, settings, passwords(pos, key, data) pos: identity in 32 bits,
//                                       never reused; key: unique bytea
// journal(id, file, time, "user", key, pos, field, old, new, login)
//                                       login: (version 3) the operating-
//                                       system login, '' in older rows
// password_hashes(name, hash)
// password_failures(name, failures, last_failure)   (version 2) failed
//                                       password entries, server clock in ms
// sites, site_lines                     the site directory
//
// The schema is made in the first schema of the search path, so a
// connection's `options='-csearch_path=NAME'` picks where the store lives.
#pragma once

#include <string>

#include "core/pg_connection.h"

namespace hostlibs::detail {

inline constexpr int kStoreSchemaVersion = 3;

// Makes the schema or upgrades it to this program's version, in one
// transaction under an advisory lock, so that two administrators running
// it at once do not collide. A schema at this version is left as it is; a
// newer one is refused. `*found_version` (when given) gets the version the
// store held before (0: no schema).
PG_STORE_API bool init_schema(PgConnection& conn, std::string* error,
                              int64_t* found_version = nullptr);

// The version of the schema where the connection makes its tables (0: none).
PG_STORE_API bool stored_schema_version(PgConnection& conn, int64_t* version, std::string* error);

// What a workstation checks at connect: the schema is there at this
// program's version.
PG_STORE_API bool check_schema(PgConnection& conn, std::string* error);

// Gives a workstation's role what it needs of the store and nothing more:
// reading and writing records, appending to the journal, no schema changes.
PG_STORE_API bool grant_workstation_role(PgConnection& conn, const std::string& role,
                                         std::string* error);

}  // namespace hostlibs::detail
