#include "output/site_preferences.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

namespace {

constexpr int kKeyWidth = sizeof(SettingRecord::key);
constexpr int kValueWidth = sizeof(SettingRecord::value);
constexpr int kKeyNumber = 0;
// Room for any key the module builds before it is cut to the key width.
constexpr int kKeyTextSize = 128;

SettingRecord setting_record;

// Left-justifies `text` and cuts or pads it to the key width.
void make_key(char (&key)[kKeyWidth], const char* text) {
    while (*text == ' ') {
        ++text;
    }
    copy_padded(key, text, kKeyWidth);
}

bool find_record(const char* key_text) {
    char key[kKeyWidth];
    make_key(key, key_text);
    return rs_settings_call(RS_GET_EQUAL, key, kKeyNumber) == RS_OK;
}

// The record's value as one hexadecimal number. A value that does not fit
// 32 bits names no site: it is refused rather than cut to another site's id.
bool parse_value(uint32_t* value) {
    char text[kValueWidth + 1];
    std::memcpy(text, setting_record.value, kValueWidth);
    text[kValueWidth] = '\0';
    unsigned long number = 0;
    if (std::sscanf(text, "%lX", &number) != 1 || number > UINT32_MAX) {
        return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

int find_setting(uint32_t* value, const char* key) {
    char user_key[kKeyTextSize];
    std::snprintf(user_key, sizeof user_key, "%s %u", key, host_user_no());
    int source = SETTING_NONE;
    if (find_record(user_key)) {
        source = SETTING_USER;
    } else if (find_record(key)) {
        source = SETTING_SHARED;
    }
    // A found value that is no number counts as none; the shared record is
    // not tried in its place.
    if (source == SETTING_NONE || !parse_value(value)) {
        *value = 0;
        return SETTING_NONE;
    }
    return source;
}

}  // namespace

int read_setting(uint32_t* value, const char* key) {
    void* saved = nullptr;
    rs_settings_get_buffer(&saved);
    rs_settings_set_buffer(&setting_record);
    const int source = find_setting(value, key);
    rs_settings_set_buffer(saved);
    return source;
}

int read_default_site(uint32_t* value) {
    return read_setting(value, "default_site:");
}

int read_template_site(uint32_t* value) {
    return read_setting(value, "default_screen:");
}
