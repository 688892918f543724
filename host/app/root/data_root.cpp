// Data roots: where they are, and making a new one from the assets.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"
#include "platform/code_page.h"
#include "platform/fixed_text.h"
#include "root/csv.h"
#include "root/device_csv.h"
#include "root/durable_files.h"
#include "root/host_config.h"

namespace fs = std::filesystem;

namespace hostapp {
namespace {

constexpr int kHeaderLines = 8;
constexpr size_t kHeaderWidth = 80;

bool read_text(const fs::path& path, std::string* text, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path.string();
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

bool write_file(const fs::path& path, const std::string& bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

// The text of an asset (UTF-8) in the code page of the root's files; false
// naming the file, line and column of a character the page cannot hold.
bool read_asset(const fs::path& path, std::string* text, std::string* error) {
    std::string utf8;
    if (!read_text(path, &utf8, error)) {
        return false;
    }
    code_page::Refusal refusal;
    if (!code_page::from_utf8(utf8, text, &refusal)) {
        *error = path.string() + " line " + std::to_string(refusal.line) + ", column " +
                 std::to_string(refusal.column) + ": " + refusal.reason;
        return false;
    }
    return true;
}

// Lays the assets' root files into a new root, each converted to the code
// page, with the assets' folders.
bool copy_assets(const fs::path& from, const fs::path& to, std::string* error) {
    std::error_code code;
    for (fs::recursive_directory_iterator it(from, code), end; !code && it != end;
         it.increment(code)) {
        const fs::path target = to / fs::relative(it->path(), from, code);
        if (it->is_directory(code)) {
            fs::create_directories(target, code);
            continue;
        }
        std::string text;
        if (!read_asset(it->path(), &text, error) || !write_file(target, text, error)) {
            return false;
        }
    }
    if (code) {
        *error = "cannot copy " + from.string() + " to " + to.string() + ": " + code.message();
        return false;
    }
    return true;
}

// rephead.dat: a 16-bit line count, then 8 lines of 80 blank-padded characters.
std::string header_template(const std::string& source) {
    std::vector<std::string> lines;
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line) && lines.size() < kHeaderLines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        line.resize(kHeaderWidth, ' ');
        lines.push_back(line);
    }
    std::string bytes;
    bytes.push_back(static_cast<char>(lines.size()));
    bytes.push_back('\0');
    for (int i = 0; i < kHeaderLines; ++i) {
        bytes += i < static_cast<int>(lines.size()) ? lines[static_cast<size_t>(i)]
                                                    : std::string(kHeaderWidth, ' ');
    }
    return bytes;
}

bool read_csv(const fs::path& path, size_t columns, std::vector<CsvRow>* rows, std::string* error) {
    std::string text;
    if (!read_asset(path, &text, error)) {
        return false;
    }
    if (!parse_csv(text, rows, error)) {
        *error = path.string() + ": " + *error;
        return false;
    }
    if (rows->empty()) {
        *error = path.string() + ": no header";
        return false;
    }
    rows->erase(rows->begin());
    for (const CsvRow& row : *rows) {
        if (row.fields.size() != columns) {
            *error = path.string() + " line " + std::to_string(row.line) + ": expected " +
                     std::to_string(columns) + " fields";
            return false;
        }
    }
    return true;
}

uint32_t number(const std::string& text) {
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
}

bool load_passwords(const fs::path& demo, std::string* error) {
    std::vector<CsvRow> rows;
    if (!read_csv(demo / "passwords.csv", 5, &rows, error)) {
        return false;
    }
    for (const CsvRow& row : rows) {
        PasswordRecord record{};
        copy_padded_bytes(record.name, row.fields[0], sizeof record.name);
        copy_padded_bytes(record.password, row.fields[1], sizeof record.password);
        copy_padded_bytes(record.user_code, row.fields[2], sizeof record.user_code);
        const uint32_t rights = number(row.fields[3]);
        for (int i = 0; i < 4; ++i) {
            record.rights[i] = static_cast<uint8_t>(rights >> (8 * i));
        }
        record.language = static_cast<int8_t>(number(row.fields[4]));
        if (!hostlibs::put_password(record, error)) {
            return false;
        }
    }
    return true;
}

bool load_sites(const fs::path& demo, std::map<std::string, uint32_t>* ids, std::string* error) {
    std::vector<CsvRow> rows;
    if (!read_csv(demo / "sites.csv", 12, &rows, error)) {
        return false;
    }
    for (const CsvRow& row : rows) {
        const std::vector<std::string>& f = row.fields;
        hostlibs::SiteInfo site;
        site.site_class = static_cast<int>(number(f[0]));
        site.name = f[1];
        site.short_name = f[2];
        site.flags = number(f[3]);
        site.device_type = static_cast<uint8_t>(number(f[4]));
        site.device_text = f[5];
        site.connect_driver = f[6];
        site.connect_parameters = f[7];
        site.transfer_driver = f[8];
        site.transfer_parameters = f[9];
        site.mode = static_cast<int>(number(f[10]));
        site.state = static_cast<int>(number(f[11]));
        uint32_t id = 0;
        if (!hostlibs::add_site(site, &id, error)) {
            return false;
        }
        (*ids)[site.name] = id;
    }
    return true;
}

// A value "site:NAME" stands for that site's id in upper-case hexadecimal.
bool load_settings(const fs::path& demo, const std::map<std::string, uint32_t>& site_ids,
                   std::string* error) {
    std::vector<CsvRow> rows;
    if (!read_csv(demo / "settings.csv", 2, &rows, error)) {
        return false;
    }
    for (const CsvRow& row : rows) {
        std::string value = row.fields[1];
        if (value.rfind("site:", 0) == 0) {
            auto found = site_ids.find(value.substr(5));
            if (found == site_ids.end()) {
                *error = "settings.csv line " + std::to_string(row.line) + ": no site " +
                         value.substr(5);
                return false;
            }
            char hex[16];
            std::snprintf(hex, sizeof hex, "%X", found->second);
            value = hex;
        }
        if (!hostlibs::put_setting_text(row.fields[0], value, error)) {
            return false;
        }
    }
    return true;
}

// The demo data set; without its devices, the users' passwords, the sites
// and the settings, which name sites.
bool load_demo_data(const fs::path& demo, bool devices, std::string* error) {
    std::string text;
    int count = 0;
    std::map<std::string, uint32_t> site_ids;
    return (!devices || (read_text(demo / "devices.csv", &text, error) &&
                         import_devices(text, &count, error))) &&
           load_passwords(demo, error) && load_sites(demo, &site_ids, error) &&
           load_settings(demo, site_ids, error);
}

}  // namespace

std::string environment_root() {
    const char* root = std::getenv("DEVGROUP_ROOT");
    return root != nullptr ? root : "";
}

std::string user_root() {
    // A relative XDG_DATA_HOME is no base directory and is passed over.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return std::string(data) + "/devgroup";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/share/devgroup";
}

std::string default_root() {
    const std::string named = environment_root();
    return named.empty() ? user_root() : named;
}

namespace {

// A folder of the program's own, found from the running executable by its
// place relative to the program's folder (compiled in from the install
// layout, which the build tree repeats), so the program runs wherever it
// was installed or built.
fs::path beside_program(const char* relative) {
    std::error_code ignored;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ignored);
    return (exe.parent_path() / relative).lexically_normal();
}

}  // namespace

std::string program_library(const std::string& file_name) {
    return (beside_program(DEVGROUP_LIBRARY_DIR) / file_name).string();
}

std::string default_module_path() {
    return program_library("libtoolbank.so");
}

std::string assets_dir() {
    if (const char* assets = std::getenv("DEVGROUP_ASSETS"); assets != nullptr && *assets) {
        return assets;
    }
    return beside_program(DEVGROUP_ASSETS_DIR).string();
}

namespace {

constexpr const char* kCompleteMark = "root.complete";
constexpr const char* kMarkText = "A whole devgroup data root: made to the end.\n";

void (*g_step_hook)(RootStep) = nullptr;

void reached(RootStep step) {
    if (g_step_hook != nullptr) {
        g_step_hook(step);
    }
}

// The root as an absolute path without a trailing '/'.
fs::path normal_root(const std::string& root) {
    std::error_code ignored;
    fs::path path = fs::absolute(root, ignored).lexically_normal();
    return path.has_filename() ? path : path.parent_path();
}

// A word the shell takes as it stands.
std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Every file that making a root lays down.
bool has_every_file(const fs::path& root) {
    std::error_code code;
    for (const char* name : {"host.conf", "DATA/rephead.dat", "DATA/devices.db", "DATA/settings.db",
                             "DATA/passwords.db", "DATA/host.db"}) {
        if (!fs::is_regular_file(root / name, code)) {
            return false;
        }
    }
    const fs::path assets = fs::path(assets_dir()) / "root";
    for (fs::recursive_directory_iterator it(assets, code), end; !code && it != end;
         it.increment(code)) {
        if (it->is_regular_file(code) &&
            !fs::exists(root / fs::relative(it->path(), assets, code), code)) {
            return false;
        }
    }
    return !code;
}

// Roots made before they carried the mark: whole when every file is there and
// the settings, which the demo data stores last, were stored.
bool older_root_is_whole(const fs::path& root) {
    if (hostlibs::host_is_open() || !has_every_file(root)) {
        return false;
    }
    HostConfig config;
    std::string error;
    if (!load_host_config(root.string(), &config, &error)) {
        return false;
    }
    const HostUser& user = *config.find_user(config.default_user);
    // The root's own files, whatever store its host.conf names.
    config.store.clear();
    if (!hostlibs::open_host(host_configuration(root.string(), config, user, std::nullopt),
                             &error)) {
        return false;
    }
    bool any = false;
    hostlibs::for_each_setting([&any](const SettingRecord&) { return any = true, false; }, &error);
    hostlibs::close_host();
    return any;
}

}  // namespace

void set_root_step_hook(void (*hook)(RootStep)) {
    g_step_hook = hook;
}

RootState root_state(const std::string& root) {
    const fs::path path = normal_root(root);
    std::error_code code;
    if (fs::is_regular_file(path / kCompleteMark, code)) {
        return RootState::kComplete;
    }
    if (!fs::exists(path / "host.conf", code)) {
        // A root of another user may stand behind a folder this user cannot enter.
        return code && code != std::errc::no_such_file_or_directory &&
                       code != std::errc::not_a_directory
                   ? RootState::kUnreadable
                   : RootState::kMissing;
    }
    if (older_root_is_whole(path)) {
        // A root that cannot be written is whole all the same.
        std::string ignored;
        write_file(path / kCompleteMark, kMarkText, &ignored);
        return RootState::kComplete;
    }
    return RootState::kIncomplete;
}

bool root_exists(const std::string& root) {
    return root_state(root) == RootState::kComplete;
}

std::string incomplete_root_message(const std::string& root) {
    return root + " is not a whole data root: making it was cut short (it has no " + kCompleteMark +
           "); remove it with  rm -r -- " + shell_quoted(root) +
           "  and make it afresh with  devgroup init --root " + shell_quoted(root);
}

std::string refused_root_message(const std::string& root, RootState state) {
    switch (state) {
        case RootState::kIncomplete:
            return incomplete_root_message(root);
        case RootState::kMissing:
            return "no data root at " + root + "; make one with  devgroup init --root " +
                   shell_quoted(root);
        case RootState::kUnreadable: {
            std::error_code code;
            const bool found = fs::exists(normal_root(root) / "host.conf", code);
            return "cannot read the data root at " + root + ": " +
                   (found || !code ? std::string("it changed meanwhile") : code.message());
        }
        case RootState::kComplete:
            break;
    }
    return {};
}
RunListEntry make_entry(const std::string& first_dir, const std::string& second_dir,
                        const std::string& module_name, const std::string& parameters) {
    RunListEntry entry{};
    std::strncpy(entry.first_dir, first_dir.c_str(), sizeof entry.first_dir - 1);
    std::strncpy(entry.second_dir, second_dir.c_str(), sizeof entry.second_dir - 1);
    std::strncpy(entry.module_name, module_name.c_str(), sizeof entry.module_name - 1);
    std::strncpy(entry.parameters, parameters.c_str(), sizeof entry.parameters - 1);
    return entry;
}

namespace {

// Lays a whole root down in `folder`, the completion mark last, and puts all
// of it on disk.
bool fill_root(const fs::path& folder, RootContent content, std::string* error) {
    const fs::path assets(assets_dir());
    std::error_code code;
    fs::create_directories(folder / "DATA" / "TEMP", code);
    fs::create_directories(folder / "DATA" / "SPOOL", code);
    if (!copy_assets(assets / "root", folder, error)) {
        return false;
    }
    std::string text;
    if (!read_asset(assets / "templates" / "rephead.txt", &text, error) ||
        !write_file(folder / "DATA" / "rephead.dat", header_template(text), error) ||
        !read_text(assets / "templates" / "host.conf", &text, error) ||
        !write_file(folder / "host.conf", text, error)) {
        return false;
    }
    // host.conf may name the module to load: only its owner may change it,
    // whatever the umask, or the module would be refused.
    fs::permissions(folder / "host.conf", fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, code);
    reached(RootStep::kFilesLaid);
    HostConfig config;
    if (!load_host_config(folder.string(), &config, error)) {
        return false;
    }
    // The demo data goes into the new root's own files, made here, and is
    // journalled as the set-up, not as a user of host.conf.
    HostUser set_up;
    set_up.user_id = kSetUpUserId;
    config.store.clear();
    hostlibs::HostConfiguration configuration =
        host_configuration(folder.string(), config, set_up, std::nullopt);
    configuration.make_record_files = true;
    if (!hostlibs::open_host(configuration, error)) {
        return false;
    }
    const bool loaded = content == RootContent::kNothing ||
                        load_demo_data(assets / "demo", content == RootContent::kDemo, error);
    hostlibs::close_host();
    if (!loaded) {
        return false;
    }
    reached(RootStep::kDataLoaded);
    if (!sync_tree(folder.string(), error) ||
        !write_file(folder / kCompleteMark, kMarkText, error) ||
        !sync_path((folder / kCompleteMark).string(), error) ||
        !sync_path(folder.string(), error)) {
        return false;
    }
    reached(RootStep::kMarked);
    return true;
}

// Renames the made folder to the root's name, in one step. *placed tells
// whether this rename put the root there, or another process's making did.
bool place_root(const fs::path& made, const fs::path& target, bool* placed, std::string* error) {
    *placed = false;
    if (std::rename(made.c_str(), target.c_str()) != 0) {
        const int reason = errno;
        // Another process may have made the same root meanwhile.
        if ((reason == ENOTEMPTY || reason == EEXIST) &&
            root_state(target.string()) == RootState::kComplete) {
            std::error_code ignored;
            fs::remove_all(made, ignored);
            return true;
        }
        *error = "cannot move the new root into place at " + target.string() + ": " +
                 std::strerror(reason);
        return false;
    }
    *placed = true;
    if (!sync_path(target.parent_path().string(), error)) {
        return false;
    }
    reached(RootStep::kPlaced);
    return true;
}

// Folders in which a root is being made: the prefix, then the making
// process's number, so that one left by a process that is gone is known.
constexpr std::string_view kMakingPrefix = ".devgroup-making-";

// Removes the folders that interrupted makings left in `parent`: those whose
// process no longer runs. A folder of a running process, or one not named
// so, stays.
void remove_abandoned_makings(const fs::path& parent) {
    std::error_code code;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, code)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kMakingPrefix, 0) != 0) {
            continue;
        }
        const std::string rest = name.substr(kMakingPrefix.size());
        char* end = nullptr;
        const long pid = std::strtol(rest.c_str(), &end, 10);
        if (pid <= 0 || end == rest.c_str() || *end != '-') {
            continue;
        }
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

}  // namespace

bool create_root(const std::string& root, bool demo_data, std::string* error, bool* made) {
    return create_root(root, demo_data ? RootContent::kDemo : RootContent::kNothing, error, made);
}

bool create_root(const std::string& root, RootContent content, std::string* error, bool* made) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    bool placed = false;
    made = made != nullptr ? made : &placed;
    *made = false;
    if (hostlibs::host_is_open()) {
        *error = "a host session is open; close it before making a root";
        return false;
    }
    if (root.empty()) {
        *error = "no data root given";
        return false;
    }
    const RootState state = root_state(root);
    switch (state) {
        case RootState::kComplete:
            return true;
        case RootState::kIncomplete:
        case RootState::kUnreadable:
            *error = refused_root_message(root, state);
            return false;
        case RootState::kMissing:
            break;
    }
    const fs::path target = normal_root(root);
    std::error_code code;
    const bool exists = fs::exists(target, code);
    if (exists && !(fs::is_directory(target, code) && fs::is_empty(target, code))) {
        *error = root + " is not an empty folder; a data root is made only in a new or empty one";
        return false;
    }
    // The root is made beside its place and renamed into it whole, so no
    // half-made root ever stands under its name.
    fs::create_directories(target.parent_path(), code);
    remove_abandoned_makings(target.parent_path());
    std::string pattern =
        (target.parent_path() / (std::string(kMakingPrefix) + std::to_string(getpid()) + "-XXXXXX"))
            .string();
    if (mkdtemp(pattern.data()) == nullptr) {
        *error = "cannot make a folder beside " + root + ": " + std::strerror(errno);
        return false;
    }
    const fs::path making(pattern);
    struct stat info {};
    mode_t mode = 0;
    if (exists && stat(target.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    } else {
        mode = umask(0);
        umask(mode);
        mode = 0777 & ~mode;
    }
    chmod(making.c_str(), mode);
    if (fill_root(making, content, error) && place_root(making, target, made, error)) {
        return true;
    }
    fs::remove_all(making, code);
    return false;
}

}  // namespace hostapp
