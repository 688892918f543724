#include "dialogs/getpass.h"

#include <sodium.h>

#include <cstddef>
#include <cstring>

#include "platform/byte_fields.h"
#include "platform/color_roles.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/message_numbers.h"
#include "platform/screen_function_table.h"
#include "services/module_state.h"
#include "services/popup_screen.h"
#include "services/screen_helpers.h"

namespace {

// The password file's record as the record store delivers it.
PasswordRecord password_record;

constexpr int kFullScreenMode = 0;
constexpr int kNameField = 0;
constexpr int kPasswordField = 1;
constexpr int kNameWidth = sizeof password_record.name;
constexpr int kPasswordWidth = sizeof password_record.password;
constexpr int kKeySize = kNameWidth + kPasswordWidth;
constexpr int kKeyNumber = 0;
constexpr int kSessionNameWidth = sizeof(UserSession::name);
// An entry field is never wider than the screen; the buffers hold any width
// the screen file gives, and only the record's widths reach the key.
constexpr int kEntrySize = 81;

constexpr uint32_t kStatusFirstWord = 0;
// The trace never shows the typed password.
constexpr const char* kMaskedPassword = "********";

const FieldFunctions reduced_string_funcs = {
    nullptr, nullptr, field_std_key, string_field_fill, nullptr, STRING_FIELD_SET_ID,
};
const FieldFunctions secure_funcs = {
    nullptr, field_std_exit, masked_field_key, masked_field_fill, nullptr, STRING_FIELD_SET_ID,
};

const ScreenFunctionTable kGetpassTable({
    table_field_set("string_funcs", reduced_string_funcs),
    table_field_set("secure_funcs", secure_funcs),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_prompt", bd_prompt),
    table_mouse_handler("sedmou_GreedyClick", sedmou_GreedyClick),
    table_key_handler("getpass_special", getpass_special),
});

// The mask of the running prompt, read by its key handler.
uint32_t required_mask = 0;
// The record store's password-file buffer while the prompt's own is bound.
void* saved_password_buffer = nullptr;

bool covers(uint32_t rights, uint32_t mask) {
    return (rights & mask) == mask;
}

// The width of an entry field as far as the key takes it.
int entry_width(Screen* screen, int field, int record_width) {
    const int length = field_length(screen, field);
    return length < 0 ? 0 : (length > record_width ? record_width : length);
}

void sign_on(const PasswordRecord& record) {
    UserSession& session = *host_context->user;
    std::memcpy(session.name, record.name, kSessionNameWidth);
    std::memcpy(session.password, record.password, sizeof session.password);
    std::memcpy(session.user_code, record.user_code, sizeof session.user_code);
    session.rights = load_u32(record.rights);
    session.language = record.language;
    session.password_time = host_now();
    shellbar_set_tech();
    const StatusItem item = {kStatusFirstWord, STATUS_KIND_TEXT, STATUS_ONE_ITEM,
                             sizeof session.user_code, session.user_code};
    status_show(&item, STATUS_USER_CODE_DURATION);
    if (host_context->language_changed != nullptr) {
        host_context->language_changed(record.language);
    }
}

// The typed name and password are looked up as one key; a match signs
// that user on, and grants when the user's rights cover the required mask.
void check_entry(Screen* screen) {
    const int name_width = field_length(screen, kNameField);
    const int password_width = field_length(screen, kPasswordField);
    char* name = field_text(screen, kNameField);
    char* password = field_var(screen, kPasswordField);
    if (name == nullptr || password == nullptr) {
        return;
    }
    left_justify(name, name_width);
    left_justify(password, password_width);
    char key[kKeySize];
    std::memset(key, ' ', sizeof key);
    std::memcpy(key, name, entry_width(screen, kNameField, kNameWidth));
    std::memcpy(key + kNameWidth, password, entry_width(screen, kPasswordField, kPasswordWidth));
    const int found = rs_password_call(RS_GET_EQUAL, key, kKeyNumber);
    sodium_memzero(key + kNameWidth, sizeof key - kNameWidth);
    if (found != RS_OK) {
        show_message(MSG_NO_USER, screen, MESSAGE_SECOND_TONE);
        host_trace("Getpass: pwd record not found, name=%.4s, pass=%.8s", key, kMaskedPassword);
        return;
    }
    sign_on(password_record);
    const uint32_t rights = load_u32(password_record.rights);
    if (covers(rights, required_mask)) {
        host_trace("Getpass: pwd record found, mask=%.8x, passwd.auth=%.8x", required_mask, rights);
        screen_set_result(screen, 1);
        screen_exit(screen);
    } else {
        show_message(MSG_NO_RIGHTS, screen, MESSAGE_SECOND_TONE);
    }
}

// Within the interval a user whose rights cover the mask needs no popup;
// every grant restarts the interval.
bool still_granted(uint32_t mask, uint32_t now) {
    if (mask == RIGHTS_SIGN_ON) {
        return false;
    }
    const uint32_t interval = host_context->settings->password_interval;
    if (interval == 0) {
        return true;
    }
    const UserSession& session = *host_context->user;
    return now - session.password_time <= interval && covers(session.rights, mask);
}

}  // namespace

const ScreenFunctionEntry* const getpass_table = kGetpassTable;

// F10 anywhere, and Enter on the password (the last field), check the entry;
// Enter on the name moves on to the password.
int getpass_special(Screen* screen, int key) {
    if (key == KEY_F10 ||
        (key == KEY_ENTER && screen_field_no(screen) == screen_field_count(screen) - 1)) {
        check_entry(screen);
        return 1;
    }
    return 0;
}

int getpass(uint32_t mask) {
    const uint32_t now = host_now();
    if (still_granted(mask, now)) {
        host_context->user->password_time = now;
        return GETPASS_GRANTED;
    }
    PopupRun popup(shared_popup_path("GETPASS"), getpass_table, "getpass_screen", kFullScreenMode);
    switch (popup.status()) {
        case PopupLoad::kFileMissing:
            return GETPASS_FILE_MISSING;
        case PopupLoad::kScreenMissing:
            return GETPASS_SCREEN_MISSING;
        case PopupLoad::kLoaded:
            break;
    }
    Screen* screen = popup.screen();
    char name[kEntrySize];
    char password[kEntrySize];
    field_set_var(screen, kNameField, name);
    field_set_var(screen, kPasswordField, password);
    std::memset(name, ' ', sizeof name - 1);
    std::memset(password, ' ', sizeof password - 1);
    name[sizeof name - 1] = '\0';
    password[sizeof password - 1] = '\0';
    required_mask = mask;
    // The entry fields take the full screens' regular and third colours (bytes 19 and 20).
    const WindowColors entry = screen_window_colors(*host_context->settings);
    field_set_colors(screen, kNameField, entry.regular, entry.third);
    field_set_colors(screen, kPasswordField, entry.regular, entry.third);
    popup.paint(PopupRun::kKeepCursor);
    show_message(MSG_SIGN_ON_HINT, screen, MESSAGE_SILENT);
    rs_password_get_buffer(&saved_password_buffer);
    rs_password_set_buffer(&password_record);
    const int result = popup.run();
    rs_password_set_buffer(saved_password_buffer);
    popup.close();
    // No typed password stays behind in the module's memory: the local buffer
    // with a clear the compiler may not drop as a dead store.
    sodium_memzero(password, sizeof password);
    std::memset(password_record.password, ' ', sizeof password_record.password);
    return result != 0 ? GETPASS_GRANTED : GETPASS_REFUSED;
}
