// Host-form paths ("\"-separated) built in fixed buffers.
#pragma once

#include <stddef.h>

// Longest buffer the module builds its file paths in: 99 characters and a terminator.
constexpr size_t kPathSize = 100;
// Buffer of the paths of the host's shared files: the help file and the popup screen files.
constexpr size_t kLongPathSize = 260;

// Formats a path into `out`. False when the whole path does not fit: a cut
// path could name another file, so callers treat this as a missing file.
// `out` then holds the cut text ending in "...", for reporting.
bool format_path(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The host's root directory, ending in a backslash; "" when the host gives none,
// so that paths built on it open nothing.
const char* root_directory();
