// Screen files in the operator's language, with the host's fallback language.
#pragma once

#include <stddef.h>

struct ScreenFile;
struct ScreenFunctionEntry;

// Opens `base` with the extension ".Lnn" of the signed-on user's language,
// else of the host's fallback language. `path` gets the last path tried (the
// text of a report when neither opens); a path that does not fit counts as a
// missing file. Null when neither opens.
ScreenFile* open_language_file(const char* base, char* path, size_t path_size,
                               const ScreenFunctionEntry* table);
