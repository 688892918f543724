// Records shared between the host, its libraries and the module.
//
// Pointer-free records are byte-exact on every target; integers that fall on
// odd positions are kept as raw bytes (see byte_fields.h). Records that hold
// pointers keep their field order; their positions hold where pointers are
// 4 bytes wide, which host_records_layout32.cpp checks for a 32-bit target.
// Only <stdint.h> and <stddef.h> are included so that check compiles without
// a 32-bit C++ runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct Screen;

// ---------------------------------------------------------------- host context

// Settings of the host; the module only reads them.
struct HostSettings {
    uint32_t password_interval;    // 0: host clock units a granted password stays valid
    uint8_t first_tone_on;         // 4
    uint8_t first_tone[2];         // 5: signed 16 bits, little-endian
    uint8_t second_tone_on;        // 7
    uint8_t second_tone[2];        // 8: signed 16 bits, little-endian
    uint8_t reserved10[7];         // 10
    uint8_t screen_colors[4];      // 17..20
    uint8_t field_colors[7];       // 21..27
    uint8_t popup_colors[4];       // 28..31
    uint8_t reserved32[9];         // 32
    char report_title[20];         // 41
    uint8_t reserved61[36];        // 61
    uint8_t fallback_language[2];  // 97: signed 16 bits, little-endian
    uint8_t reserved99;            // 99
};

// Where a module lives below the host's root: three zero-terminated names.
struct ModuleIdentity {
    char first_dir[9];
    char second_dir[9];
    char module_name[9];
};

// The signed-on user.
struct UserSession {
    char name[4];            // 0, not terminated
    uint8_t reserved4[26];   // 4
    char password[8];        // 30
    uint8_t reserved38[2];   // 38
    uint32_t rights;         // 40
    char user_code[4];       // 44
    int32_t language;        // 48
    uint32_t password_time;  // 52: host clock of the last granted password
};

// Rights masks: a user's rights cover a mask when they hold every bit of it.
// The module and the host ask for the same rights through them.
enum RightsMask : uint32_t {
    RIGHTS_SIGN_ON = 0,        // any user who signs on
    RIGHTS_SAVE = 0x2000000,   // storing the device groups
    RIGHTS_QUIT = 0x80000000,  // ending the host program
};

typedef void (*LanguageChangedFn)(int32_t language);
typedef int (*MessageTextFn)(int index, char* buffer, int size);

// The host's context record handed to the module's entry point.
struct HostContext {
    uint32_t reserved0[2];               // 0
    HostSettings* settings;              // 8
    const char* popup_dir;               // 12: ends in a backslash
    ModuleIdentity* identity;            // 16
    void* reserved20;                    // 20
    UserSession* user;                   // 24
    uint32_t reserved28[2];              // 28
    int32_t return_flag;                 // 36
    Screen* current_screen;              // 40
    int16_t screen_word;                 // 44
    int16_t reserved46;                  // 46
    LanguageChangedFn language_changed;  // 48
    MessageTextFn message_text;          // 52
};

// ---------------------------------------------------------------- host files

// Devices file record; key number 0 is `key`.
struct DeviceRecord {
    char key[8];          // 0
    char instrument[30];  // 8
    uint16_t status;      // 38: DeviceStatus bits
    char group[8];        // 40
};

// Bits of DeviceRecord::status: a device is shown when SHOWN is set and
// HIDDEN clear; the other bits belong to the host.
enum DeviceStatus : uint16_t {
    DEVICE_STATUS_SHOWN = 0x0001,
    DEVICE_STATUS_HIDDEN = 0x0002,
};

// Settings file record; key number 0 is `key`.
struct SettingRecord {
    char key[40];    // 0: blank-padded, not terminated
    char value[80];  // 40: terminated, zero-filled
};

// Password file record; key number 0 is name and password together (38 bytes).
struct PasswordRecord {
    char name[30];       // 0
    char password[8];    // 30
    char user_code[4];   // 38
    uint8_t rights[4];   // 42: unsigned 32 bits, little-endian
    uint8_t reserved46;  // 46
    int8_t language;     // 47
};

// ---------------------------------------------------------------- error log

struct ErrorRecord {
    int16_t kind;           // 0: always 5
    char source[8];         // 2
    uint8_t reserved10[2];  // 10: never written
    uint32_t code;          // 12
    char blanks[4];         // 16
    char text[128];         // 20
};

struct ErrorLogRequest {
    uint8_t reserved0[4];     // 0
    char user_id[8];          // 4
    int16_t field12;          // 12
    uint8_t reserved14[2];    // 14
    ErrorRecord* record;      // 16
    int16_t record_length;    // 20
    uint8_t reserved22[22];   // 22
    int16_t field44;          // 44
    uint8_t reserved46[406];  // 46
};

// ---------------------------------------------------------------- shell and jobs

// An entry of the shell's run list.
struct RunListEntry {
    char first_dir[9];     // 0
    char second_dir[9];    // 9
    char module_name[9];   // 18
    char parameters[121];  // 27
    int16_t word;          // 148
};

// Header of a job handed to the job queue.
struct JobHeader {
    char note[16];     // 0
    uint32_t user_no;  // 16
    char user_id[8];   // 20
    char job_name[8];  // 28
};

// Job data of job type 4: a finished report file.
struct ReportFileJob {
    char path[80];    // terminated
    char title[128];  // terminated
};

enum : int { JOB_TYPE_REPORT_FILE = 4 };

// A field shown on the host's status line.
struct StatusItem {
    uint32_t first;
    uint32_t kind;    // STATUS_KIND_TEXT
    uint32_t count;   // STATUS_ONE_ITEM
    uint32_t length;  // length of the text
    const char* text;
};

enum : uint32_t { STATUS_KIND_TEXT = 2, STATUS_ONE_ITEM = 1 };
// How long a signed-on user's code is asked to stay on the status line.
enum : int { STATUS_USER_CODE_DURATION = 2000 };

// ---------------------------------------------------------------- layouts

static_assert(sizeof(HostSettings) == 100, "HostSettings");
static_assert(offsetof(HostSettings, screen_colors) == 17, "HostSettings");
static_assert(offsetof(HostSettings, field_colors) == 21, "HostSettings");
static_assert(offsetof(HostSettings, popup_colors) == 28, "HostSettings");
static_assert(offsetof(HostSettings, report_title) == 41, "HostSettings");
static_assert(offsetof(HostSettings, fallback_language) == 97, "HostSettings");
static_assert(sizeof(ModuleIdentity) == 27, "ModuleIdentity");
static_assert(offsetof(ModuleIdentity, module_name) == 18, "ModuleIdentity");
static_assert(sizeof(UserSession) == 56, "UserSession");
static_assert(offsetof(UserSession, password) == 30, "UserSession");
static_assert(offsetof(UserSession, rights) == 40, "UserSession");
static_assert(offsetof(UserSession, user_code) == 44, "UserSession");
static_assert(offsetof(UserSession, language) == 48, "UserSession");
static_assert(offsetof(UserSession, password_time) == 52, "UserSession");
static_assert(sizeof(DeviceRecord) == 48, "DeviceRecord");
static_assert(offsetof(DeviceRecord, status) == 38, "DeviceRecord");
static_assert(offsetof(DeviceRecord, group) == 40, "DeviceRecord");
static_assert(sizeof(SettingRecord) == 120, "SettingRecord");
static_assert(sizeof(PasswordRecord) == 48, "PasswordRecord");
static_assert(offsetof(PasswordRecord, rights) == 42, "PasswordRecord");
static_assert(offsetof(PasswordRecord, language) == 47, "PasswordRecord");
static_assert(sizeof(ErrorRecord) == 148, "ErrorRecord");
static_assert(offsetof(ErrorRecord, code) == 12, "ErrorRecord");
static_assert(offsetof(ErrorRecord, text) == 20, "ErrorRecord");
static_assert(sizeof(RunListEntry) == 150, "RunListEntry");
static_assert(offsetof(RunListEntry, parameters) == 27, "RunListEntry");
static_assert(offsetof(RunListEntry, word) == 148, "RunListEntry");
static_assert(sizeof(JobHeader) == 36, "JobHeader");
static_assert(offsetof(JobHeader, user_no) == 16, "JobHeader");
static_assert(offsetof(JobHeader, job_name) == 28, "JobHeader");
static_assert(sizeof(ReportFileJob) == 208, "ReportFileJob");
static_assert(offsetof(ErrorLogRequest, user_id) == 4, "ErrorLogRequest");
static_assert(offsetof(ErrorLogRequest, record) == 16, "ErrorLogRequest");
