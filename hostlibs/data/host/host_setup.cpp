// Opening and closing the host's data, and the host core operations.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "host/host_state.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/native_files.h"
#include "record_store/postgres/pg_record_storage.h"
#include "record_store/sqlite/sqlite_record_storage.h"
#include "sites/postgres/pg_site_storage.h"
#include "sites/sqlite/sqlite_site_storage.h"

namespace hostlibs {

namespace detail {

namespace {

std::unique_ptr<HostState> g_host;

std::string with_slash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

bool make_dir(const std::string& path, std::string* error) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return true;
        }
    }
    *error = path + ": cannot create folder (" + std::strerror(errno) + ")";
    return false;
}

// DATA holds the passwords and the spooled reports: its owner's alone,
// whatever the umask, also in roots made before it was so.
bool make_private_dir(const std::string& path, std::string* error) {
    // A root that is not ours to change still serves the files it lets us use.
    if (chmod(path.c_str(), 0700) == 0 || errno == EPERM || errno == EROFS) {
        return true;
    }
    *error = path + ": cannot make the folder private (" + std::strerror(errno) + ")";
    return false;
}

// TEMP and SPOOL take the reports: folders of the root itself (a link to a
// folder elsewhere is refused, not followed), private like DATA.
bool make_report_dir(const std::string& path, std::string* error) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = path + ": cannot create folder (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        *error = path + ": is a symbolic link; reports go only into a folder of the root itself";
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = path + ": not a folder";
        return false;
    }
    return make_private_dir(path, error);
}

// The trace and the report header of roots made before they were private are
// narrowed; a file that is missing or not ours stays as it is.
void narrow_file(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) != 0) {
        chmod(path.c_str(), 0600);
    }
}

// Creates every missing folder of a path.
bool make_dirs(const std::string& path, std::string* error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;  // the usual case: nothing to make
    }
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (!make_dir(path.substr(0, slash), error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

HostState::HostState(const HostConfiguration& config)
    : configuration(config),
      root_native(with_slash(std::filesystem::absolute(config.root).lexically_normal().string())),
      data_native(root_native + "DATA/"),
      root_host(std::string(1, kHostDrive) + ":\\"),
      data_host(root_host + "DATA\\"),
      user_no(config.user_no),
      fixed_now(config.fixed_now),
      jobs(host_db, sites, data_native + "SPOOL/") {}

HostState* host_state() {
    return g_host.get();
}

uint32_t clock_now() {
    HostState* host = host_state();
    if (host != nullptr && host->fixed_now) {
        return *host->fixed_now;
    }
    return static_cast<uint32_t>(std::time(nullptr));
}

// Journal entries carry the host clock and the user of the moment they are
// written, and the login that runs the program.
void start_journals(HostState& host) {
    if (!host.configuration.change_journal) {
        return;
    }
    auto stamp_now = [&host] {
        JournalStamp stamp;
        stamp.time = clock_now();
        if (host.has_user_id) {
            stamp.user = fixed_text(host.user_id.data(), host.user_id.size());
        }
        stamp.login = host.configuration.login;
        return stamp;
    };
    host.devices.set_journal_stamp(stamp_now);
    host.settings.set_journal_stamp(stamp_now);
    host.passwords.set_journal_stamp(stamp_now);
}

// The root's record files and sites: in the shared store host.conf names,
// else SQLite files under DATA/.
bool open_record_store(HostState& host, std::string* error) {
    const int timeout = host.configuration.busy_timeout_ms;
    if (host.configuration.store.empty()) {
        host.record_store = std::make_unique<SqliteRecordStore>(
            host.data_native, timeout, host.configuration.make_record_files);
        host.site_storage = std::make_unique<SqliteSiteStorage>(host.host_db);
    } else {
        auto shared = std::make_unique<PgRecordStore>();
        if (!shared->open(host.configuration.store, timeout, error)) {
            return false;
        }
        host.site_storage = std::make_unique<PgSiteStorage>(shared->connection());
        host.record_store = std::move(shared);
    }
    host.sites.use(host.site_storage.get());
    return true;
}

// The record files and the sites, on SQLite files or a shared store. Only
// the files the caller uses are opened or looked at now.
bool open_records(HostState& host, std::string* reason) {
    const bool read_only = host.configuration.read_only;
    const unsigned used = host.configuration.record_files;
    if (!open_record_store(host, reason)) {
        return false;
    }
    RecordStore& store = *host.record_store;
    if ((used & kDevicesFile) != 0) {
        if (!host.devices.open(store, kDevicesLayout, read_only, reason)) {
            return false;
        }
    } else {
        host.devices.open_on_use(store, kDevicesLayout, read_only);
    }
    // Few sessions print or ask for a password: those files open when first used.
    if (((used & kSettingsFile) != 0 && !store.check_file(kSettingsLayout, read_only, reason)) ||
        ((used & kPasswordsFile) != 0 && !store.check_file(kPasswordsLayout, read_only, reason))) {
        return false;
    }
    host.settings.open_on_use(store, kSettingsLayout, read_only);
    host.passwords.open_on_use(store, kPasswordsLayout, read_only);
    start_journals(host);
    if (!read_only) {
        store.watch(kDevicesLayout);
    }
    return true;
}

void set_user(HostState& host, const std::string& user_id, uint32_t user_no) {
    host.user_id.fill(' ');
    std::memcpy(host.user_id.data(), user_id.data(), std::min<size_t>(user_id.size(), 8));
    host.has_user_id = !user_id.empty();
    host.user_no = user_no;
}

}  // namespace detail

using detail::g_host;
using detail::HostState;

bool open_host(const HostConfiguration& configuration, std::string* error) {
    std::string reason;
    try {
        close_host();
        if (configuration.root.empty()) {
            reason = "no data root given";
        } else {
            auto host = std::make_unique<HostState>(configuration);
            detail::set_user(*host, configuration.user_id, configuration.user_no);
            const int timeout = configuration.busy_timeout_ms;
            const std::string& data = host->data_native;
            const bool read_only = configuration.read_only;
            if ((read_only ||
                 (detail::make_dirs(data, &reason) && detail::make_private_dir(data, &reason) &&
                  detail::make_report_dir(data + "TEMP", &reason) &&
                  detail::make_report_dir(data + "SPOOL", &reason))) &&
                host->host_db.open(data + "host.db", timeout, &reason, read_only) &&
                host->host_db.exec(detail::SqliteSiteStorage::schema(), &reason) &&
                host->host_db.exec(detail::JobQueue::schema(), &reason) &&
                host->host_db.exec(detail::error_log_schema(), &reason) &&
                (!configuration.open_records || detail::open_records(*host, &reason))) {
                if (!read_only) {
                    detail::narrow_file(data + "trace.log");
                    detail::narrow_file(data + "rephead.dat");
                }
                // Modules reach the root through its drive, whatever its native path.
                const std::string& root = host->root_native;
                native_map_drive(detail::kHostDrive,
                                 root.size() > 1 ? root.substr(0, root.size() - 1).c_str() : "/");
                g_host = std::move(host);
                return true;
            }
        }
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

void close_host() {
    if (g_host) {
        native_map_drive(detail::kHostDrive, nullptr);
    }
    g_host.reset();
}

bool host_is_open() {
    return g_host != nullptr;
}

void set_host_user(const std::string& user_id, uint32_t user_no) {
    if (g_host) {
        detail::set_user(*g_host, user_id, user_no);
    }
}

void set_host_clock(std::optional<uint32_t> fixed_now) {
    if (g_host) {
        g_host->fixed_now = fixed_now;
    }
}

bool devices_changed_elsewhere() {
    return g_host && g_host->record_store &&
           g_host->record_store->changed_elsewhere(detail::kDevicesLayout);
}

PasswordWait password_wait() {
    return g_host ? g_host->password_wait : PasswordWait{};
}

int host_leave_count() {
    return g_host ? g_host->leave_count : 0;
}

std::string JournalEntry::describe() const {
    char when[32] = "";
    const time_t clock = static_cast<time_t>(time);
    struct tm utc {};
    if (gmtime_r(&clock, &utc) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
    }
    auto shown = [](const std::string& value) { return value.empty() ? "(blank)" : value; };
    const std::string who =
        (user.empty() ? "-" : user) + (login.empty() ? "" : " (login " + login + ")");
    return std::string(when) + " " + who + " " + key + " " + field + ": " +
           (inserted ? "(new)" : shown(old_value)) + " -> " + shown(new_value);
}

namespace {

// The open host's record file that `file` names ("devices", ...), or null
// with the reason.
detail::RecordFile* journal_file(const std::string& file, std::string* error) {
    if (!g_host) {
        *error = "host not open";
        return nullptr;
    }
    for (detail::RecordFile* candidate :
         {&g_host->devices, &g_host->settings, &g_host->passwords}) {
        if (file + ".db" == candidate->layout().file_name) {
            return candidate;
        }
    }
    *error = "no record file " + file + " (devices, settings or passwords)";
    return nullptr;
}

}  // namespace

bool read_journal(const std::string& file, const std::optional<std::string>& key,
                  const std::function<bool(const JournalEntry&)>& visit, std::string* error) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    detail::RecordFile* chosen = journal_file(file, error);
    if (chosen == nullptr) {
        return false;
    }
    std::vector<uint8_t> key_bytes;
    if (key) {
        const size_t size = static_cast<size_t>(chosen->layout().key_size);
        if (key->size() > size) {
            *error = "a key of " + file + " has at most " + std::to_string(size) + " characters";
            return false;
        }
        key_bytes.assign(size, ' ');
        std::copy(key->begin(), key->end(), key_bytes.begin());
    }
    try {
        return chosen->read_journal(
            key ? key_bytes.data() : nullptr,
            [&](const detail::JournalChange& change) {
                return visit({change.id, change.time, change.user, change.login, change.key,
                              change.position, change.field, change.inserted, change.old_value,
                              change.new_value});
            },
            error);
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

bool prune_journal(
    const std::string& file, int64_t before,
    const std::function<bool(const std::vector<StoredJournalRow>&, std::string*)>& keep,
    int64_t* moved, std::string* error) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    *moved = 0;
    if (!g_host || g_host->configuration.read_only) {
        *error = !g_host ? "host not open" : "the host is open for reading only";
        return false;
    }
    std::vector<detail::RecordFile*> files;
    for (const char* name : {"devices", "settings", "passwords"}) {
        if (file.empty() || file == name) {
            files.push_back(journal_file(name, error));
            if (files.back() == nullptr) {
                return false;
            }
        }
    }
    if (files.empty()) {
        *error = "no record file " + file + " (devices, settings or passwords)";
        return false;
    }
    try {
        for (detail::RecordFile* chosen : files) {
            if (!chosen->prune_journal(before, keep, moved, error)) {
                return false;
            }
        }
        return true;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

std::string data_path(const std::string& name) {
    return g_host ? g_host->data_native + name : std::string();
}

std::string trace_path() {
    return data_path("trace.log");
}

}  // namespace hostlibs

using hostlibs::detail::host_state;
using hostlibs::detail::HostState;

extern "C" {

const char* host_root_dir(void) {
    HostState* host = host_state();
    return host != nullptr ? host->root_host.c_str() : "";
}

const char* host_data_dir(void) {
    HostState* host = host_state();
    return host != nullptr ? host->data_host.c_str() : "";
}

const char* host_user_id(void) {
    HostState* host = host_state();
    return host != nullptr && host->has_user_id ? host->user_id.data() : nullptr;
}

uint32_t host_user_no(void) {
    HostState* host = host_state();
    return host != nullptr ? host->user_no : 0;
}

uint32_t host_now(void) {
    return hostlibs::detail::clock_now();
}

void host_trace(const char* format, ...) {
    HostState* host = host_state();
    if (host == nullptr || format == nullptr) {
        return;
    }
    char line[1024];
    va_list values;
    va_start(values, format);
    std::vsnprintf(line, sizeof line, format, values);
    va_end(values);
    char path[4096];
    const int length = std::snprintf(path, sizeof path, "%strace.log", host->data_native.c_str());
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
        return;
    }
    // Private like the rest of DATA.
    const int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        return;
    }
    if (FILE* trace = fdopen(file, "a")) {
        std::fprintf(trace, "%u %s\n", hostlibs::detail::clock_now(), line);
        std::fclose(trace);
    } else {
        close(file);
    }
}

void host_leave(void) {
    if (HostState* host = host_state()) {
        ++host->leave_count;
    }
}

}  // extern "C"
