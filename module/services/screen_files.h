// Screen files in the operator's language, with the host's fallback language,
// and the handles of screen files and screens that close themselves.
#pragma once

#include <stddef.h>

#include <memory>

struct Screen;
struct ScreenFile;
struct ScreenFunctionEntry;

struct ScreenFileCloser {
    void operator()(ScreenFile* file) const;
};
struct ScreenCloser {
    void operator()(Screen* screen) const;
};
// An open screen file, closed when the handle goes.
using OpenScreenFile = std::unique_ptr<ScreenFile, ScreenFileCloser>;
// A loaded screen, closed when the handle goes.
using OpenScreen = std::unique_ptr<Screen, ScreenCloser>;

// Opens `base` with the extension ".Lnn" of the signed-on user's language,
// else of the host's fallback language. `path` gets the last path tried (the
// text of a report when neither opens); a path that does not fit counts as a
// missing file. Null when neither opens.
OpenScreenFile open_language_file(const char* base, char* path, size_t path_size,
                                  const ScreenFunctionEntry* table);
