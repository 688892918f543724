// Data roots: where they are, and making a new one from the assets.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "csv.h"
#include "device_csv.h"
#include "host_config.h"
#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"

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
    if (!read_text(path, &text, error) || !parse_csv(text, rows, error)) {
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

void copy_padded(const std::string& text, char* field, size_t size) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), std::min(text.size(), size));
}

bool load_passwords(const fs::path& demo, std::string* error) {
    std::vector<CsvRow> rows;
    if (!read_csv(demo / "passwords.csv", 5, &rows, error)) {
        return false;
    }
    for (const CsvRow& row : rows) {
        PasswordRecord record{};
        copy_padded(row.fields[0], record.name, sizeof record.name);
        copy_padded(row.fields[1], record.password, sizeof record.password);
        copy_padded(row.fields[2], record.user_code, sizeof record.user_code);
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

bool load_demo_data(const fs::path& demo, std::string* error) {
    std::string devices;
    int count = 0;
    std::map<std::string, uint32_t> site_ids;
    return read_text(demo / "devices.csv", &devices, error) &&
           import_devices(devices, &count, error) && load_passwords(demo, error) &&
           load_sites(demo, &site_ids, error) && load_settings(demo, site_ids, error);
}

}  // namespace

std::string default_root() {
    if (const char* root = std::getenv("DEVGROUP_ROOT"); root != nullptr && *root != '\0') {
        return root;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/share/devgroup";
}

std::string program_library(const std::string& file_name) {
    std::error_code ignored;
    fs::path exe = fs::read_symlink("/proc/self/exe", ignored);
    return (exe.parent_path().parent_path() / "lib" / file_name).string();
}

std::string default_module_path() {
    return program_library("libtoolbank.so");
}

std::string assets_dir() {
    if (const char* assets = std::getenv("DEVGROUP_ASSETS"); assets != nullptr && *assets) {
        return assets;
    }
    return DEVGROUP_ASSETS_DIR;
}

bool root_exists(const std::string& root) {
    std::error_code ignored;
    return fs::is_regular_file(fs::path(root) / "host.conf", ignored);
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

bool create_root(const std::string& root, bool demo_data, std::string* error) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    if (hostlibs::host_is_open()) {
        *error = "a host session is open; close it before making a root";
        return false;
    }
    const fs::path assets(assets_dir());
    const fs::path target(root);
    std::error_code code;
    fs::create_directories(target / "DATA" / "TEMP", code);
    fs::create_directories(target / "DATA" / "SPOOL", code);
    fs::copy(assets / "root", target, fs::copy_options::recursive | fs::copy_options::skip_existing,
             code);
    if (code) {
        *error =
            "cannot copy " + (assets / "root").string() + " to " + root + ": " + code.message();
        return false;
    }
    std::string text;
    if (!fs::exists(target / "DATA" / "rephead.dat")) {
        if (!read_text(assets / "templates" / "rephead.txt", &text, error) ||
            !write_file(target / "DATA" / "rephead.dat", header_template(text), error)) {
            return false;
        }
    }
    const bool had_config = fs::exists(target / "host.conf");
    if (!had_config && (!read_text(assets / "templates" / "host.conf", &text, error) ||
                        !write_file(target / "host.conf", text, error))) {
        return false;
    }
    HostConfig config;
    if (!load_host_config(root, &config, error)) {
        return false;
    }
    const HostUser& user = *config.find_user(config.default_user);
    if (!hostlibs::open_host({root, user.user_id, user.number, std::nullopt}, error)) {
        return false;
    }
    const bool loaded = !demo_data || had_config || load_demo_data(assets / "demo", error);
    hostlibs::close_host();
    if (!loaded) {
        // Without host.conf the half-filled root is not taken for a made one.
        fs::remove(target / "host.conf", code);
    }
    return loaded;
}

}  // namespace hostapp
