// Per-user site preferences in the host's settings file: a site id stored as
// hexadecimal text, once for one user and once shared by all users.
#pragma once

#include <stdint.h>

// Where read_setting found its value.
enum SettingSource : int {
    SETTING_NONE = 0,    // no record, or a value that is not one hexadecimal number
    SETTING_USER = 3,    // the current user's own record
    SETTING_SHARED = 4,  // the record shared by all users
};

// Reads the setting `key` ("default_site:" ...) into *value: the user's own
// record ("key <user number>") first, then the shared one. *value is 0 when
// the result is SETTING_NONE. The settings file's buffer binding is kept.
int read_setting(uint32_t* value, const char* key);

// The operator's default destination site.
int read_default_site(uint32_t* value);
// The template site whose connection driver new FAX sites copy.
int read_template_site(uint32_t* value);
