#include "root/host_config.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <unordered_set>

#include "hostapp/host_app.h"
#include "platform/bounded_read.h"
#include "platform/byte_fields.h"
#include "platform/fixed_text.h"
#include "screenlib/screenlib.h"

namespace hostapp {
namespace {

// Room for some hundred thousand users; lines are short.
constexpr ReadLimits kHostConfigLimits{16 << 20, 1024};

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    std::string word;
    while (in >> word) {
        result.push_back(word);
    }
    return result;
}

template <size_t N>
bool parse_bytes(const std::string& value, std::array<uint8_t, N>* bytes, std::string* reason) {
    std::vector<std::string> parts = words(value);
    if (parts.size() != N) {
        *reason = "expected " + std::to_string(N) + " colour bytes";
        return false;
    }
    for (size_t i = 0; i < N; ++i) {
        long long byte = 0;
        if (!parse_number(parts[i], 0, 255, &byte)) {
            *reason = "'" + parts[i] + "' is not a byte";
            return false;
        }
        (*bytes)[i] = static_cast<uint8_t>(byte);
    }
    return true;
}

bool copy_name(const std::string& text, char* field, size_t size) {
    if (text.empty() || text.size() >= size) {
        return false;
    }
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
    return true;
}

bool parse_user(const std::string& value, HostUser* user, std::string* reason) {
    std::vector<std::string> parts = words(value);
    long long number = 0;
    long long language = 0;
    long long rights = 0;
    if (parts.size() != 5 && parts.size() != 6) {
        *reason = "expected: user = NAME USER_ID NUMBER LANGUAGE RIGHTS [CODE]";
        return false;
    }
    if (parts[1] == kSetUpUserId) {
        *reason = std::string("the user id ") + kSetUpUserId +
                  " is the journal's name for the making of a data root";
        return false;
    }
    if (parts[0].size() > 30 || parts[1].size() > 8 ||
        !parse_number(parts[2], 0, UINT32_MAX, &number) ||
        !parse_number(parts[3], 1, 99, &language) ||
        !parse_number(parts[4], 0, UINT32_MAX, &rights) ||
        (parts.size() == 6 && parts[5].size() > 4)) {
        *reason =
            "bad user: name up to 30, id up to 8, number, language 1..99, rights, code up to 4";
        return false;
    }
    user->name = parts[0];
    user->user_id = parts[1];
    user->number = static_cast<uint32_t>(number);
    user->language = static_cast<int>(language);
    user->rights = static_cast<uint32_t>(rights);
    user->code = parts.size() == 6 ? parts[5] : parts[0].substr(0, 4);
    return true;
}

bool parse_hot_key(const std::string& value, HotKey* hot_key, std::string* reason) {
    std::vector<std::string> parts = words(value);
    long long number = 0;
    if ((parts.size() != 4 && parts.size() != 5) || !parse_number(parts[0], 0, 19, &number)) {
        *reason = "expected: hotkey = N(0..19) FIRST SECOND MODULE [<KEY>]";
        return false;
    }
    if (parts.size() == 5) {
        const std::string& key = parts[4];
        hot_key->key = key.size() > 2 && key.front() == '<' && key.back() == '>'
                           ? screenlib::parse_key(key.substr(1, key.size() - 2))
                           : -1;
        if (hot_key->key <= 0) {
            *reason = "unknown key " + key;
            return false;
        }
    }
    for (size_t i = 1; i < 4; ++i) {
        if (parts[i].size() > 8) {
            *reason = "module names have at most 8 characters";
            return false;
        }
    }
    hot_key->number = static_cast<int>(number);
    hot_key->entry = make_entry(parts[1], parts[2], parts[3]);
    return true;
}

// One key of host.conf: its name and how its value goes into the configuration.
struct ConfigKey {
    const char* name;
    const char* value;  // the value's form, as the manual page writes it
    const char* help;   // what the key sets, for the manual page and the README
    bool (*apply)(const std::string& value, HostConfig* config, std::string* reason);
};

bool apply_identity(const std::string& value, HostConfig* config, std::string* reason) {
    std::vector<std::string> parts = words(value);
    ModuleIdentity& id = config->identity;
    if (parts.size() != 3 || !copy_name(parts[0], id.first_dir, sizeof id.first_dir) ||
        !copy_name(parts[1], id.second_dir, sizeof id.second_dir) ||
        !copy_name(parts[2], id.module_name, sizeof id.module_name)) {
        *reason = "expected three names of at most 8 characters";
        return false;
    }
    return true;
}

bool apply_fallback_language(const std::string& value, HostConfig* config, std::string* reason) {
    long long number = 0;
    if (!parse_number(value, 1, 99, &number)) {
        *reason = "a language is a number from 1 to 99";
        return false;
    }
    config->fallback_language = static_cast<int>(number);
    return true;
}

bool apply_password_interval(const std::string& value, HostConfig* config, std::string* reason) {
    long long number = 0;
    if (!parse_number(value, 0, UINT32_MAX, &number)) {
        *reason = "expected a number of clock units";
        return false;
    }
    config->password_interval = static_cast<uint32_t>(number);
    return true;
}

bool apply_report_title(const std::string& value, HostConfig* config, std::string* reason) {
    if (value.size() > 20) {
        *reason = "the report title has at most 20 characters";
        return false;
    }
    config->report_title = value;
    return true;
}

bool apply_tones(const std::string& value, HostConfig* config, std::string* reason) {
    std::vector<std::string> parts = words(value);
    long long values[4] = {};
    bool good = parts.size() == 4;
    for (size_t i = 0; good && i < 4; ++i) {
        good = i % 2 == 0 ? parse_number(parts[i], 0, 1, &values[i])
                          : parse_number(parts[i], INT16_MIN, INT16_MAX, &values[i]);
    }
    if (!good) {
        *reason = "expected: tones = ON VALUE ON VALUE (on 0 or 1, values 16-bit)";
        return false;
    }
    config->first_tone_on = values[0] != 0;
    config->first_tone = static_cast<int16_t>(values[1]);
    config->second_tone_on = values[2] != 0;
    config->second_tone = static_cast<int16_t>(values[3]);
    return true;
}

// Names given twice are caught by parse_host_config, which keeps them indexed.
bool apply_user(const std::string& value, HostConfig* config, std::string* reason) {
    HostUser user;
    if (!parse_user(value, &user, reason)) {
        return false;
    }
    config->users.push_back(user);
    return true;
}

bool apply_hot_key(const std::string& value, HostConfig* config, std::string* reason) {
    HotKey hot_key;
    if (!parse_hot_key(value, &hot_key, reason)) {
        return false;
    }
    config->hot_keys.push_back(hot_key);
    return true;
}

constexpr ConfigKey kConfigKeys[] = {
    {"module_identity", "FIRST SECOND NAME",
     "the module this host runs: first directory, second directory and module name, each at "
     "most 8 characters (default USER DEVGROUP TOOLBANK)",
     apply_identity},
    {"module", "PATH",
     "the module library; a relative path is taken from the root (default: the libtoolbank.so "
     "installed with devgroup); loaded only when nobody but its owner or root can change it, "
     "this file included",
     [](const std::string& value, HostConfig* config, std::string*) {
         config->module_path = value;
         return true;
     }},
    {"default_user", "NAME", "the user signed on at start (default: the first user line)",
     [](const std::string& value, HostConfig* config, std::string*) {
         config->default_user = value;
         return true;
     }},
    {"store", "CONNINFO",
     "a libpq connection string of the shared PostgreSQL store that keeps the register "
     "(without it, SQLite files under DATA/); one holding a password is refused: keep the "
     "password in ~/.pgpass",
     [](const std::string& value, HostConfig* config, std::string*) {
         config->store = value;
         return true;
     }},
    {"fallback_language", "N",
     "the language (1 to 99) tried when a file is missing in the user's (default 1)",
     apply_fallback_language},
    {"password_interval", "SECONDS",
     "how long a granted password stays valid, in host clock units (seconds); 0 never asks "
     "(default 300)",
     apply_password_interval},
    {"report_title", "TEXT", "up to 20 characters printed in report page headers",
     apply_report_title},
    {"tones", "ON VALUE ON VALUE",
     "the first tone on (0 or 1) and its value, then the second tone on and its value",
     apply_tones},
    {"screen_colors", "A A A A",
     "4 PC attributes (low nibble foreground, high nibble background): second, border, "
     "regular and third colour of full screens",
     [](const std::string& value, HostConfig* config, std::string* reason) {
         return parse_bytes(value, &config->screen_colors, reason);
     }},
    {"field_colors", "A A A A A A A",
     "7 attributes of the editor's group fields: invalid unchanged (regular, selected), changed "
     "valid (2), changed invalid (2), instrument fields",
     [](const std::string& value, HostConfig* config, std::string* reason) {
         return parse_bytes(value, &config->field_colors, reason);
     }},
    {"popup_colors", "A A A A", "4 attributes of popups, in the order of screen_colors",
     [](const std::string& value, HostConfig* config, std::string* reason) {
         return parse_bytes(value, &config->popup_colors, reason);
     }},
    {"user", "NAME USER_ID NUMBER LANGUAGE RIGHTS [CODE]",
     "one user a line: sign-on name (up to 30 characters), user id (up to 8), user number, "
     "language (1 to 99), rights bits (0x02000000 may save, 0x80000000 may quit) and a user "
     "code of up to 4 characters (default: the name's first 4); the user id (set-up) is the "
     "journal's name for the making of a root and is refused",
     apply_user},
    {"hotkey", "N FIRST SECOND MODULE [<KEY>]",
     "hot key N (0 to 19, menu command 80 + N) queues that module; KEY, in key-script notation "
     "such as <C-e>, gives the command in every module's menu",
     apply_hot_key},
};

bool apply(const std::string& key, const std::string& value, HostConfig* config,
           std::string* reason) {
    for (const ConfigKey& entry : kConfigKeys) {
        if (key == entry.name) {
            return entry.apply(value, config, reason);
        }
    }
    *reason = "unknown key '" + key + "'";
    return false;
}

std::string lower_case(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

bool parse_number(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) {
        return false;
    }
    try {
        size_t used = 0;
        *value = std::stoll(text, &used, 0);
        return used == text.size() && *value >= low && *value <= high;
    } catch (...) {
        return false;
    }
}

std::vector<ConfigKeyHelp> config_keys() {
    std::vector<ConfigKeyHelp> keys;
    for (const ConfigKey& key : kConfigKeys) {
        keys.push_back({key.name, key.value, key.help});
    }
    return keys;
}

const HostUser* HostConfig::find_user(const std::string& name) const {
    for (const HostUser& user : users) {
        if (strcasecmp(user.name.c_str(), name.c_str()) == 0) {
            return &user;
        }
    }
    return nullptr;
}

bool parse_host_config(const std::string& text, HostConfig* config, std::string* error) {
    HostConfig parsed;
    copy_name("USER", parsed.identity.first_dir, sizeof parsed.identity.first_dir);
    copy_name("DEVGROUP", parsed.identity.second_dir, sizeof parsed.identity.second_dir);
    copy_name("TOOLBANK", parsed.identity.module_name, sizeof parsed.identity.module_name);
    std::istringstream in(text);
    std::string line;
    int number = 0;
    // Sign-on names compare ignoring case; the index keeps long user lists linear.
    std::unordered_set<std::string> user_names;
    while (std::getline(in, line)) {
        ++number;
        line = trimmed(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const size_t equals = line.find('=');
        std::string reason = "expected KEY = VALUE";
        const size_t users_before = parsed.users.size();
        bool good = equals != std::string::npos &&
                    apply(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)),
                          &parsed, &reason);
        if (good && parsed.users.size() > users_before &&
            !user_names.insert(lower_case(parsed.users.back().name)).second) {
            reason = "user " + parsed.users.back().name + " given twice";
            good = false;
        }
        if (!good) {
            *error = "host.conf line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    if (parsed.users.empty()) {
        *error = "host.conf names no user";
        return false;
    }
    if (parsed.default_user.empty()) {
        parsed.default_user = parsed.users.front().name;
    } else if (parsed.find_user(parsed.default_user) == nullptr) {
        *error = "host.conf: default_user " + parsed.default_user + " is not a user";
        return false;
    }
    *config = std::move(parsed);
    return true;
}

bool load_host_config(const std::string& root, HostConfig* config, std::string* error) {
    const std::string path = root + "/host.conf";
    std::string text;
    ReadFailure failure;
    if (!read_bounded_file(path.c_str(), kHostConfigLimits, &text, &failure)) {
        *error = failure.line == 0
                     ? "cannot read " + path + ": " + failure.reason
                     : "host.conf line " + std::to_string(failure.line) + ": " + failure.reason;
        return false;
    }
    return parse_host_config(text, config, error);
}

HostSettings make_settings(const HostConfig& config) {
    HostSettings settings{};
    settings.password_interval = config.password_interval;
    settings.first_tone_on = config.first_tone_on ? 1 : 0;
    store_u16(settings.first_tone, static_cast<uint16_t>(config.first_tone));
    settings.second_tone_on = config.second_tone_on ? 1 : 0;
    store_u16(settings.second_tone, static_cast<uint16_t>(config.second_tone));
    std::memcpy(settings.screen_colors, config.screen_colors.data(), 4);
    std::memcpy(settings.field_colors, config.field_colors.data(), 7);
    std::memcpy(settings.popup_colors, config.popup_colors.data(), 4);
    copy_padded_bytes(settings.report_title, config.report_title, sizeof settings.report_title);
    store_u16(settings.fallback_language, static_cast<uint16_t>(config.fallback_language));
    return settings;
}

hostlibs::HostConfiguration host_configuration(const std::string& root, const HostConfig& config,
                                               const HostUser& user,
                                               std::optional<uint32_t> fixed_now) {
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = user.user_id;
    configuration.user_no = user.number;
    configuration.login = os_login();
    configuration.fixed_now = fixed_now;
    configuration.store = config.store;
    // A root's record files are made with the root (create_root), never on opening it.
    configuration.make_record_files = false;
    return configuration;
}

std::string os_login() {
    const uid_t uid = getuid();
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0') {
        return found->pw_name;
    }
    return "uid " + std::to_string(uid);
}

}  // namespace hostapp
