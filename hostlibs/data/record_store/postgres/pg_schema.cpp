#include "record_store/postgres/pg_schema.h"

namespace hostlibs::detail {

namespace {

// Serializes schema changes in one database ("devgroup" in ASCII).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7234316415938651504)";

// Keys order as bytea does: unsigned bytes, then length, with no collation.
// Positions and site ids are 4 bytes to the programs, so their identities
// stop at 2^32 - 1 rather than wrap onto a number in use.
constexpr const char* kVersion1 =
    "CREATE TABLE store_meta(name text PRIMARY KEY, value bigint NOT NULL);"
    "CREATE TABLE layouts(table_name text PRIMARY KEY,"
    " record_size integer NOT NULL, key_size integer NOT NULL);"
    "CREATE TABLE devices("
    " pos bigint GENERATED ALWAYS AS IDENTITY (MINVALUE 1 MAXVALUE 4294967295 NO CYCLE)"
    " PRIMARY KEY, key bytea NOT NULL UNIQUE, data bytea NOT NULL);"
    "CREATE TABLE settings("
    " pos bigint GENERATED ALWAYS AS IDENTITY (MINVALUE 1 MAXVALUE 4294967295 NO CYCLE)"
    " PRIMARY KEY, key bytea NOT NULL UNIQUE, data bytea NOT NULL);"
    "CREATE TABLE passwords("
    " pos bigint GENERATED ALWAYS AS IDENTITY (MINVALUE 1 MAXVALUE 4294967295 NO CYCLE)"
    " PRIMARY KEY, key bytea NOT NULL UNIQUE, data bytea NOT NULL);"
    "CREATE TABLE journal("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, file text NOT NULL,"
    " time bigint NOT NULL, \"user\" text NOT NULL, key bytea NOT NULL, pos bigint NOT NULL,"
    " field text NOT NULL, old bytea, new bytea NOT NULL);"
    "CREATE INDEX journal_by_key ON journal(file, key, id);"
    "CREATE INDEX journal_by_file ON journal(file, id);"
    "CREATE TABLE password_hashes(name bytea PRIMARY KEY, hash text NOT NULL);"
    "CREATE TABLE sites("
    " id bigint GENERATED ALWAYS AS IDENTITY (MINVALUE 1 MAXVALUE 4294967295 NO CYCLE)"
    " PRIMARY KEY, class integer NOT NULL, name text NOT NULL, short_name text NOT NULL,"
    " flags bigint NOT NULL, device_type integer NOT NULL, device_text text NOT NULL,"
    " connect_driver text NOT NULL, connect_parameters text NOT NULL,"
    " transfer_driver text NOT NULL, transfer_parameters text NOT NULL,"
    " mode integer NOT NULL, state integer NOT NULL);"
    "CREATE INDEX sites_by_class ON sites(class, id);"
    "CREATE TABLE site_lines(site_id bigint NOT NULL, line integer NOT NULL,"
    " text text NOT NULL, PRIMARY KEY(site_id, line));"
    "INSERT INTO store_meta VALUES('schema_version', 0);";

// Failed password entries per name, beside the hashes. Every role that may
// change the hashes (a workstation granted before) gets the same rights on
// it, so that an upgrade leaves no workstation unable to sign on.
constexpr const char* kVersion2 =
    "CREATE TABLE password_failures(name bytea PRIMARY KEY,"
    " failures bigint NOT NULL, last_failure bigint NOT NULL);"
    "DO $$ DECLARE grantee text; BEGIN"
    " FOR grantee IN SELECT DISTINCT r.rolname FROM pg_class AS c"
    " CROSS JOIN LATERAL aclexplode(c.relacl) AS a JOIN pg_roles AS r ON r.oid = a.grantee"
    " WHERE c.oid = 'password_hashes'::regclass AND a.privilege_type = 'UPDATE'"
    " AND a.grantee <> c.relowner LOOP"
    " EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON password_failures TO %I',"
    " grantee);"
    " END LOOP; END $$;";

// The operating-system login that wrote each journal row; rows written
// before it was kept have none.
constexpr const char* kVersion3 = "ALTER TABLE journal ADD COLUMN login text NOT NULL DEFAULT '';";

// Each entry takes the schema from the version before it to its own.
constexpr const char* kUpgrades[kStoreSchemaVersion] = {kVersion1, kVersion2, kVersion3};

constexpr const char* kInitAdvice = "run `devgroup store init`";

std::string version_text(int64_t version) {
    return std::to_string(version);
}

}  // namespace

bool stored_schema_version(PgConnection& conn, int64_t* version, std::string* error) {
    PgResult where = conn.exec(
        "SELECT current_schema(), EXISTS(SELECT 1 FROM pg_catalog.pg_tables"
        " WHERE schemaname = current_schema() AND tablename = 'store_meta')",
        {}, PgParams());
    if (!where.ok()) {
        *error = "cannot read the shared store's schema at " + conn.server() + ": " + where.error();
        return false;
    }
    if (where.is_null(0, 0)) {
        *error = "the shared store at " + conn.server() +
                 " has no schema to hold its tables (see the search_path option)";
        return false;
    }
    *version = 0;
    if (!where.boolean(0, 1)) {
        return true;
    }
    PgResult stored =
        conn.exec("SELECT value FROM store_meta WHERE name = 'schema_version'", {}, PgParams());
    if (!stored.ok()) {
        *error = "cannot read the shared store's schema version at " + conn.server() + ": " +
                 stored.error();
        return false;
    }
    if (stored.rows() == 1) {
        *version = stored.integer(0, 0);
    }
    return true;
}

bool init_schema(PgConnection& conn, std::string* error, int64_t* found_version) {
    PgResult begun = conn.begin();
    if (!begun.ok()) {
        *error = "cannot start the schema change at " + conn.server() + ": " + begun.error();
        return false;
    }
    auto fail = [&](const std::string& why) {
        conn.rollback();
        *error = why;
        return false;
    };
    PgResult locked = conn.exec(kSchemaLock);
    if (!locked.ok()) {
        return fail("cannot lock the shared store's schema at " + conn.server() + ": " +
                    locked.error());
    }
    int64_t version = 0;
    std::string why;
    if (!stored_schema_version(conn, &version, &why)) {
        return fail(why);
    }
    if (found_version != nullptr) {
        *found_version = version;
    }
    if (version > kStoreSchemaVersion) {
        return fail("the shared store at " + conn.server() + " has schema version " +
                    version_text(version) + ", newer than this program's version " +
                    version_text(kStoreSchemaVersion) + "; use a newer program");
    }
    if (version == kStoreSchemaVersion) {
        conn.rollback();  // nothing to change
        return true;
    }
    for (int64_t next = version + 1; next <= kStoreSchemaVersion; ++next) {
        PgResult upgraded = conn.exec(kUpgrades[next - 1]);
        if (!upgraded.ok()) {
            return fail("cannot make schema version " + version_text(next) + " at " +
                        conn.server() + ": " + upgraded.error());
        }
    }
    PgParams params;
    params.int8(kStoreSchemaVersion);
    PgResult stamped = conn.exec("UPDATE store_meta SET value = $1 WHERE name = 'schema_version'",
                                 {kInt8Oid}, params);
    if (!stamped.ok()) {
        return fail("cannot record the schema version at " + conn.server() + ": " +
                    stamped.error());
    }
    PgResult committed = conn.commit();
    if (!committed.ok()) {
        *error = "cannot commit the schema at " + conn.server() + ": " + committed.error();
        return false;
    }
    return true;
}

bool check_schema(PgConnection& conn, std::string* error) {
    int64_t version = 0;
    if (!stored_schema_version(conn, &version, error)) {
        return false;
    }
    if (version == kStoreSchemaVersion) {
        return true;
    }
    if (version == 0) {
        *error = "the shared store at " + conn.server() + " has no tables yet; " + kInitAdvice;
    } else if (version < kStoreSchemaVersion) {
        *error = "the shared store at " + conn.server() + " has schema version " +
                 version_text(version) + ", older than this program's version " +
                 version_text(kStoreSchemaVersion) + "; " + kInitAdvice;
    } else {
        *error = "the shared store at " + conn.server() + " has schema version " +
                 version_text(version) + ", newer than this program's version " +
                 version_text(kStoreSchemaVersion) + "; use a newer program";
    }
    return false;
}

bool grant_workstation_role(PgConnection& conn, const std::string& role, std::string* error) {
    PgResult where = conn.exec("SELECT current_schema()", {}, PgParams());
    if (!where.ok() || where.rows() != 1 || where.is_null(0, 0)) {
        *error = "cannot find the shared store's schema at " + conn.server() +
                 (where.ok() ? std::string() : ": " + where.error());
        return false;
    }
    const std::string schema = conn.quote_identifier(where.text(0, 0));
    const std::string grantee = conn.quote_identifier(role);
    if (schema.empty() || grantee.empty()) {
        *error = "cannot quote the role or schema name";
        return false;
    }
    // The journal is only appended to; the schema version and the layouts
    // are the administrator's, but a workstation records a missing layout.
    const std::string sql =
        "BEGIN;"
        "GRANT USAGE ON SCHEMA " +
        schema + " TO " + grantee +
        ";"
        "GRANT SELECT ON store_meta TO " +
        grantee +
        ";"
        "GRANT SELECT, INSERT ON layouts, journal TO " +
        grantee +
        ";"
        "GRANT SELECT, INSERT, UPDATE, DELETE ON devices, settings, passwords,"
        " password_hashes, password_failures, sites, site_lines TO " +
        grantee +
        ";"
        "GRANT USAGE ON ALL SEQUENCES IN SCHEMA " +
        schema + " TO " + grantee +
        ";"
        "COMMIT";
    PgResult granted = conn.exec(sql.c_str());
    if (!granted.ok()) {
        conn.exec("ROLLBACK");
        *error = "cannot grant the workstation role at " + conn.server() + ": " + granted.error();
        return false;
    }
    return true;
}

}  // namespace hostlibs::detail
