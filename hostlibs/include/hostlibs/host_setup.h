// Set-up and inspection of the host libraries' data for the host program,
// tests and benchmarks. The module never sees this header: it uses the
// C interface of host_libraries.h.
//
// Lifecycle: open_host() once (creates <root>/DATA and, unless told not to,
// its files when missing), use the C interface and the calls below, close_host() to drop
// every open file and reset all state, after which another root may be
// opened. Nothing here throws; failures are false plus a reason.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_records.h"

#if defined(HOSTLIB_BUILDING)
#define HOSTSETUP_API __attribute__((visibility("default")))
#else
#define HOSTSETUP_API
#endif

namespace hostlibs {

// The record files, as bits of HostConfiguration::record_files.
inline constexpr unsigned kDevicesFile = 1;
inline constexpr unsigned kSettingsFile = 2;
inline constexpr unsigned kPasswordsFile = 4;
inline constexpr unsigned kAllRecordFiles = kDevicesFile | kSettingsFile | kPasswordsFile;

struct HostConfiguration {
    std::string root;                   // native path of the data root
    std::string user_id;                // up to 8 characters (blank-padded by host_user_id)
    uint32_t user_no = 0;               // host_user_no()
    std::optional<uint32_t> fixed_now;  // when set, host_now() returns it
    int busy_timeout_ms = 2000;         // wait for another process's lock before 84/85
    bool change_journal = true;         // journal every insert and update of the record files
    // Opens the files for reading only: nothing is made or changed, so a root
    // that cannot be written serves all the same.
    bool read_only = false;
    // Where the record files, their journal and the sites are kept: a libpq
    // connection string of a shared PostgreSQL store, or empty for SQLite
    // files under <root>/DATA.
    std::string store = {};
    // False opens only the workstation's own data (error log, job queue):
    // the record files and the sites stay closed and the shared store is not
    // reached, so the error log can be read while the store is away.
    bool open_records = true;
    // The first wait of a password name after three failed entries (it
    // doubles with each further failure, up to 30 times this). Not a setting
    // of host.conf or the command line: whoever runs a host could shorten it.
    int64_t first_password_wait_ms = 1000;
    // Makes a missing record file (devices, settings, passwords), whole; false
    // refuses one, naming it: only the making of a data root should make them,
    // so that a file lost from a root is never taken for an empty one.
    bool make_record_files = true;
    // The record files a caller uses (the bits above): the devices file is
    // opened and the others looked at now; a file left out is neither opened
    // nor looked at until something uses it.
    unsigned record_files = kAllRecordFiles;
    // The operating-system login that runs the program, journalled beside
    // the user; empty when not known.
    std::string login = {};
};

// Opens the host's files under <root>/DATA, creating missing ones (unless
// read-only; record files only with make_record_files); a file or folder that
// cannot be written is refused with its path and the system's reason:
// devices.db, settings.db, passwords.db, host.db (sites, jobs, error log),
// and the folders TEMP and SPOOL. The root itself must exist or be creatable.
// A record file without its tables (an empty file, another database) is
// refused, naming it. The settings and password files are only looked at
// here (one that is not a database is refused) and open at their first use.
HOSTSETUP_API bool open_host(const HostConfiguration& configuration, std::string* error);
// Closes every file and resets all state of the data libraries.
HOSTSETUP_API void close_host();
HOSTSETUP_API bool host_is_open();

// Changes the user (host_user_id/host_user_no) of the open host, e.g. after sign-on.
HOSTSETUP_API void set_host_user(const std::string& user_id, uint32_t user_no);
// Fixes the clock (a value) or lets it follow the system clock (nullopt).
HOSTSETUP_API void set_host_clock(std::optional<uint32_t> fixed_now);

// True when another workstation stored a change to the devices file of a
// shared store since the last call (the first call counts from open_host);
// always false on the SQLite files. Reads only what the server already sent,
// so it may be called while waiting for a key.
HOSTSETUP_API bool devices_changed_elsewhere();

// What the last password get-equal (rs_password_call) left its name to wait
// before the next try. `refused`: the try came within the name's wait and its
// password was not checked; wait_ms is what was left of the wait. Otherwise
// wait_ms is the wait its failure began (0: none, or the entry was granted).
struct PasswordWait {
    bool refused = false;
    int64_t wait_ms = 0;
};
HOSTSETUP_API PasswordWait password_wait();

// Number of host_leave() calls since open_host().
HOSTSETUP_API int host_leave_count();

// ---------------------------------------------------------------- error log

struct ErrorLogEntry {
    int64_t id = 0;               // order of arrival, from 1
    uint32_t logged_at = 0;       // host_now() when logged
    std::string user_id;          // the request's 8-byte user id, trailing blanks/zeros dropped
    std::vector<uint8_t> record;  // the ErrorRecord bytes as handed over (record_length bytes)
    // Readable form of the record (empty when the record is shorter than its fields).
    int16_t kind = 0;
    std::string source;  // 8 characters, trailing blanks dropped
    uint32_t code = 0;
    std::string text;  // up to the first zero byte, trailing blanks dropped
    HOSTSETUP_API std::string describe() const;  // one line for the `log` subcommand
};

// The listings below return what they read. When a store cannot be read
// whole, *error (when given) says why, and what is returned may be short of
// what is stored (or empty): so a caller tells a failure from a short listing.

// The error log, oldest first.
HOSTSETUP_API std::vector<ErrorLogEntry> read_error_log(std::string* error = nullptr);

// Error-log codes of the host's own failures.
inline constexpr uint32_t kMenuFileFailed = 0x80008001;         // a menu file unread or unparsed
inline constexpr uint32_t kRecordFileFailed = 0x80008002;       // a record file that did not open
inline constexpr uint32_t kPasswordLibraryFailed = 0x80008003;  // libsodium did not load
inline constexpr uint32_t kStoreFailed = 0x80008004;            // a record store operation failed
inline constexpr uint32_t kPasswordGuessing = 0x80008005;  // a name's password failed repeatedly

// Writes a failure of the host's own to the error log, from `source` (up
// to 8 characters) under the user of the moment: `why` with control bytes
// escaped, and when too long for the record without its start, so that the
// file's own name and the reason stay.
HOSTSETUP_API void log_host_failure(const char* source, uint32_t code, const std::string& why);

// ---------------------------------------------------------------- devices file

// Inserts or replaces (by key) all records in one transaction: either all are
// written or none. A batch holding one key twice is refused ("record N:
// duplicate key", N counted from 1). `error` names the failure.
HOSTSETUP_API bool put_devices(const std::vector<DeviceRecord>& records, std::string* error);
// Calls `visit` for every record in key order; stops early when it returns false.
HOSTSETUP_API bool for_each_device(const std::function<bool(const DeviceRecord&)>& visit,
                                   std::string* error);
// Removes the record with this key (8 bytes); false when there was none.
HOSTSETUP_API bool delete_device(const char key[8], std::string* error);

// ---------------------------------------------------------------- settings and passwords

// Insert or replace by key (40-byte key; name+password 38 bytes).
HOSTSETUP_API bool put_setting(const SettingRecord& record, std::string* error);
HOSTSETUP_API bool put_password(const PasswordRecord& record, std::string* error);
// Convenience: key text left-justified and blank-padded to 40, value terminated.
HOSTSETUP_API bool put_setting_text(const std::string& key, const std::string& value,
                                    std::string* error);
HOSTSETUP_API bool for_each_setting(const std::function<bool(const SettingRecord&)>& visit,
                                    std::string* error);
HOSTSETUP_API bool for_each_password(const std::function<bool(const PasswordRecord&)>& visit,
                                     std::string* error);

// ---------------------------------------------------------------- change journal

// One changed field of a record, as the change journal keeps it.
struct JournalEntry {
    int64_t id = 0;         // order of writing, from 1
    uint32_t time = 0;      // host_now() of the change
    std::string user;       // host_user_id() of the change, trailing blanks dropped
    std::string login;      // the operating-system login that wrote it ("": not known)
    std::string key;        // the record's key, trailing blanks dropped
    int64_t position = 0;   // the record's position
    std::string field;      // "group", "instrument", ...
    bool inserted = false;  // the record was new: no old value
    std::string old_value;  // readable: texts without trailing blanks, numbers in decimal
    std::string new_value;
    // "YYYY-MM-DD HH:MM:SS user (login L) key field: old -> new" (UTC; the
    // login part only when known; "(blank)" for an empty text, "(new)" for
    // the old value of an inserted record).
    HOSTSETUP_API std::string describe() const;
};

// The journal of a record file ("devices", "settings" or "passwords"),
// newest first, one entry at a time as it is read, so a journal of any length
// is read in little memory; only the entries of one key (blank-padded as
// stored) when `key` is given. Stops when `visit` returns false. False with a
// reason for an unknown file or a failed read.
HOSTSETUP_API bool read_journal(const std::string& file, const std::optional<std::string>& key,
                                const std::function<bool(const JournalEntry&)>& visit,
                                std::string* error);

// One journal row as stored: enough to put it back.
struct StoredJournalRow {
    int64_t id = 0;    // order of writing
    std::string file;  // the record file's stored name, "devices.db", ...
    uint32_t time = 0;
    std::string user;
    std::string login;  // "" in rows written before logins were journalled
    std::string key;    // bytes, a secret in it blanked
    int64_t position = 0;
    std::string field;
    bool has_old = false;  // false for the fields of a new record
    std::string old_bytes;
    std::string new_bytes;
};

// Moves the journal rows written before the clock value `before` out of the
// journal of `file` ("devices", "settings", "passwords"; every file when
// empty), oldest first, a batch at a time: `keep` gets each batch and must
// put it somewhere lasting (written and synced) before it returns true; only
// then is the batch deleted, so a crash in between leaves its rows in both
// places, never in neither. Stops, deleting nothing more, at the first false
// from `keep` (its reason in *error) or failed read or delete. *moved counts
// the rows deleted, also on failure. Needs a host opened for writing.
HOSTSETUP_API bool prune_journal(
    const std::string& file, int64_t before,
    const std::function<bool(const std::vector<StoredJournalRow>&, std::string*)>& keep,
    int64_t* moved, std::string* error);

// ---------------------------------------------------------------- sites

struct SiteInfo {
    uint32_t id = 0;  // assigned by add_site (ignored on input)
    int site_class = 0;
    std::string name;                                  // up to 30 characters
    std::string short_name;                            // up to 20 characters
    uint32_t flags = 0;                                // SITE_FLAG_HIDDEN, SITE_FLAG_DISABLED, ...
    uint8_t device_type = 0;                           // SITE_DEVICE_SCREEN_VIEWER = 7
    std::string device_text;                           // up to 79 characters
    std::string connect_driver, connect_parameters;    // up to 199 characters each
    std::string transfer_driver, transfer_parameters;  // up to 199 characters each
    std::vector<std::pair<int, std::string>> lines;    // line number, text
    int mode = 0;
    int state = 0;
};

// Adds a site; its id is stored into *id when non-null.
HOSTSETUP_API bool add_site(const SiteInfo& site, uint32_t* id, std::string* error);
// All sites in id order (as read_error_log tells a failure).
HOSTSETUP_API std::vector<SiteInfo> list_sites(std::string* error = nullptr);

// ---------------------------------------------------------------- jobs

struct JobInfo {
    uint32_t id = 0;
    uint32_t site_id = 0;
    std::string site_name;      // empty when the site is gone
    JobHeader header{};         // as handed to job_begin
    std::string user;           // the 4-character user name of job_begin
    int type = 0;               // job type of the last job_add (4: report file)
    std::string title;          // report title (type 4)
    std::string spool_file;     // native path of the report file in DATA/SPOOL
    uint32_t submitted_at = 0;  // host_now() at job_end
};

// Finished jobs (job_end called) in submission order (as read_error_log
// tells a failure).
HOSTSETUP_API std::vector<JobInfo> list_jobs(std::string* error = nullptr);

// ---------------------------------------------------------------- shared store

struct StoreInit {
    int64_t found_version = 0;  // the schema version the store held (0: none)
    int64_t version = 0;        // the version it holds now: this program's
};

// Makes the schema of the shared PostgreSQL store at `conninfo`, or upgrades
// it to this program's version, in one transaction under an advisory lock;
// running it again changes nothing, and a newer schema is refused. With a
// `grant_role`, that role then gets the rights a workstation needs (and no
// right to change the schema).
HOSTSETUP_API bool init_store(const std::string& conninfo, std::string* error,
                              StoreInit* done = nullptr, const std::string& grant_role = {});

// What one record file of the open host's store holds.
struct StoreFileFacts {
    std::string file;  // "devices", "settings", "passwords"
    int64_t records = 0;
    int64_t journal_rows = 0;
    int64_t highest_position = 0;  // the highest position the file ever gave
};

// Where the open host's register is kept and what it holds.
struct StoreFacts {
    std::string backend;                // "sqlite" or "postgresql"
    std::string location;               // native path of DATA/, or the server as host:port/database
    std::string engine_version;         // SQLite's version, or the server's
    int64_t schema_version = 0;         // the shared store's schema version; 0 for SQLite files
    int64_t program_version = 0;        // the shared store's schema version this program uses
    std::vector<StoreFileFacts> files;  // devices, settings, passwords
    int64_t password_hashes = 0;
    int64_t sites = 0;
};

// Reads only; a record file not yet made (SQLite) counts as empty.
HOSTSETUP_API bool store_facts(StoreFacts* facts, std::string* error);

// Copies the open host's register (records at their positions, password
// hashes, each file's journal in its order, sites with their ids and lines)
// into the shared store at `target`, after making or upgrading its schema.
// One transaction: the target must hold no record, hash, journal row or
// site, else nothing is written; the counts it holds afterwards must match
// the source's, else nothing is kept. `*copied` gets the target's facts.
// A `target` holding a password is refused.
HOSTSETUP_API bool copy_store(const std::string& target, StoreFacts* copied, std::string* error);

// ---------------------------------------------------------------- paths

// Native paths of the open host ("" when closed): <root>/DATA/ and one of its files.
HOSTSETUP_API std::string data_path(const std::string& name);
// Native path of the trace file.
HOSTSETUP_API std::string trace_path();

}  // namespace hostlibs
