#include "services/screen_files.h"

#include "platform/byte_fields.h"
#include "platform/screen_library.h"
#include "services/host_paths.h"
#include "services/module_state.h"

void ScreenFileCloser::operator()(ScreenFile* file) const {
    screenfile_close(file);
}

void ScreenCloser::operator()(Screen* screen) const {
    screen_close(screen);
}

OpenScreenFile open_language_file(const char* base, char* path, size_t path_size,
                                  const ScreenFunctionEntry* table) {
    const int languages[] = {
        host_context->user->language,
        load_i16(host_context->settings->fallback_language),
    };
    for (const int language : languages) {
        if (format_path(path, path_size, "%s.L%.2d", base, language)) {
            if (ScreenFile* file = screenfile_open(path, table); file != nullptr) {
                return OpenScreenFile(file);
            }
        }
    }
    return nullptr;
}
