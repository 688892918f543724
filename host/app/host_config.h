// host.conf: the host's configuration on a data root (see README.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "platform/host_records.h"

namespace hostapp {

struct HostUser {
    std::string name;     // sign-on name (up to 30 characters)
    std::string user_id;  // host_user_id (up to 8 characters)
    uint32_t number = 0;  // host_user_no
    int language = 1;
    uint32_t rights = 0;
    std::string code;  // 4-character user code; the name's first 4 when not given
};

struct HotKey {
    int number = 0;  // 0..19
    RunListEntry entry{};
    int key = 0;  // the key that gives command 80 + number in every menu; 0 for none
};

struct HostConfig {
    ModuleIdentity identity{};
    std::string module_path;  // empty: beside the program
    std::string default_user;
    // A libpq connection string of the shared store the record files and
    // sites live in; empty: SQLite files under DATA/.
    std::string store;
    int fallback_language = 1;
    uint32_t password_interval = 300;
    std::string report_title;
    bool first_tone_on = true;
    int16_t first_tone = 880;
    bool second_tone_on = true;
    int16_t second_tone = 220;
    std::array<uint8_t, 4> screen_colors{0x1E, 0x1B, 0x1F, 0x70};
    std::array<uint8_t, 7> field_colors{0x4F, 0x4E, 0x1E, 0x6E, 0x5F, 0x5E, 0x1B};
    std::array<uint8_t, 4> popup_colors{0x3F, 0x70, 0x70, 0x1F};
    std::vector<HostUser> users;
    std::vector<HotKey> hot_keys;

    const HostUser* find_user(const std::string& name) const;
};

// A whole text read as a number (decimal, 0x hexadecimal or 0 octal) from
// low to high; false otherwise.
bool parse_number(const std::string& text, long long low, long long high, long long* value);

// A key of host.conf as the manual page and the README describe it.
struct ConfigKeyHelp {
    const char* name;
    const char* value;  // the value's form ("NAME USER_ID ...")
    const char* help;
};

// Every key host.conf takes, in the order they are described; the parser's own table.
std::vector<ConfigKeyHelp> config_keys();

// Parses the text of host.conf; false with "line N: reason" in *error.
bool parse_host_config(const std::string& text, HostConfig* config, std::string* error);
bool load_host_config(const std::string& root, HostConfig* config, std::string* error);

// The HostSettings record of a configuration.
HostSettings make_settings(const HostConfig& config);

// What the host libraries open for `user` on `root` under this configuration,
// journalling changes with the operating-system login that runs the program.
hostlibs::HostConfiguration host_configuration(const std::string& root, const HostConfig& config,
                                               const HostUser& user,
                                               std::optional<uint32_t> fixed_now);

// The name the change journal gives the making of a data root in place of a
// user; host.conf refuses it as a user id.
inline constexpr const char* kSetUpUserId = "(set-up)";

// The login name of the real user running the program, from the system's
// user database (not from the environment, which anyone can set); "uid N"
// for a user it does not know.
std::string os_login();

}  // namespace hostapp
