// A tiny module for the host's loading path: it reads HostContext by the
// byte positions of host_records.h, writes what it saw to the file named by
// $TINY_MODULE_OUT, and on its first call queues the error-log viewer (or
// the module that $TINY_MODULE_PUSH names as "FIRST SECOND NAME [PARAMETERS]").
// With $TINY_MODULE_MENU naming a menu file (host form) it shows that menu
// bar during every call, so a headless run can tell its screen apart. When
// it is loaded at all, its constructor creates the file $TINY_MODULE_LOADED.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/host_libraries.h"

namespace {

int g_calls = 0;

template <typename T>
T field_at(const HostContext* context, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(context) + offset, sizeof value);
    return value;
}

__attribute__((constructor)) void mark_loaded() {
    if (const char* marker = std::getenv("TINY_MODULE_LOADED")) {
        if (FILE* file = std::fopen(marker, "w")) {
            std::fclose(file);
        }
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Appstart(HostContext* context) {
    ++g_calls;
    const auto* settings = field_at<const HostSettings*>(context, offsetof(HostContext, settings));
    const auto* identity =
        field_at<const ModuleIdentity*>(context, offsetof(HostContext, identity));
    const auto* user = field_at<const UserSession*>(context, offsetof(HostContext, user));
    const auto* popup_dir = field_at<const char*>(context, offsetof(HostContext, popup_dir));
    const auto message_text = field_at<MessageTextFn>(context, offsetof(HostContext, message_text));
    char message[41] = "";
    message_text(3, message, sizeof message);  // message 4
    const auto* raw = reinterpret_cast<const uint8_t*>(settings);
    if (const char* out = std::getenv("TINY_MODULE_OUT")) {
        if (FILE* file = std::fopen(out, "a")) {
            std::fprintf(file,
                         "call=%d identity=%s/%s/%s user=%.4s rights=%08X code=%.4s lang=%d "
                         "interval=%u title=%.20s fallback=%d field21=%02X popup28=%02X "
                         "tone1=%d,%d popup_dir=%s message4=%s\n",
                         g_calls, identity->first_dir, identity->second_dir, identity->module_name,
                         user->name, user->rights, user->user_code, user->language,
                         settings->password_interval, settings->report_title,
                         raw[97] | (raw[98] << 8), raw[21], raw[28], raw[4], raw[5] | (raw[6] << 8),
                         popup_dir, message);
            std::fclose(file);
        }
    }
    if (g_calls == 1) {
        RunListEntry entry{};
        std::strcpy(entry.first_dir, "USER");
        std::strcpy(entry.second_dir, "ERRORLOG");
        std::strcpy(entry.module_name, "ERRORLOG");
        if (const char* push = std::getenv("TINY_MODULE_PUSH")) {
            std::sscanf(push, "%8s %8s %8s %120[^\n]", entry.first_dir, entry.second_dir,
                        entry.module_name, entry.parameters);
        }
        filelist_push(&entry);
    }
    if (const char* menu = std::getenv("TINY_MODULE_MENU")) {
        if ((menubar_open(menu, [](int) {}) & 0xFF) != 0) {
            menubar_close();
        }
    }
    host_leave();
    int32_t zero = 0;
    std::memcpy(reinterpret_cast<char*>(context) + offsetof(HostContext, return_flag), &zero,
                sizeof zero);
    return 0;
}
