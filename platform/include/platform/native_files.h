// The one place where host-style paths ("\"-separated, as the host formats
// them) touch the operating system. A path that does not fit is a failure.
//
// The host hands its modules short, drive-style roots ("C:\"), so that their
// fixed path buffers fit wherever the data really is; a drive is mapped here
// to the native folder it stands for. Paths without a drive letter are taken
// as native ones written with '\' for '/'.
#pragma once

#include <stddef.h>
#include <stdio.h>

#if defined(NATIVE_FILES_BUILDING)
#define NATIVE_FILES_API __attribute__((visibility("default")))
#else
#define NATIVE_FILES_API
#endif

// Maps drive `letter` (A to Z) to a native folder (without a trailing '/');
// null removes the mapping. False for a letter outside A to Z.
NATIVE_FILES_API bool native_map_drive(char letter, const char* native_folder);

// Writes the native form of a host path into `out`; false when it does not
// fit or names a drive that is not mapped.
NATIVE_FILES_API bool native_path(const char* host_path, char* out, size_t out_size);

// True when the file exists (a file-status query).
NATIVE_FILES_API bool native_file_exists(const char* host_path);

// fopen on the native path; null when the path does not map or the open fails.
NATIVE_FILES_API FILE* native_fopen(const char* host_path, const char* mode);

// Creates a new file (mode 0600) for reading and writing, failing when it
// exists or when the folder it goes into is a symbolic link; a descriptor,
// or -1.
NATIVE_FILES_API int native_create_new(const char* host_path);

// Removes a file; 0 on success.
NATIVE_FILES_API int native_remove(const char* host_path);
