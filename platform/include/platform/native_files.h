// The one place where host-style paths ("\"-separated, as the host formats
// them) touch the operating system. A path that does not fit is a failure.
#pragma once

#include <stddef.h>
#include <stdio.h>

// Writes the native form of a host path into `out`; false when it does not fit.
bool native_path(const char* host_path, char* out, size_t out_size);

// True when the file exists (a file-status query).
bool native_file_exists(const char* host_path);

// fopen on the native path; null when the path does not map or the open fails.
FILE* native_fopen(const char* host_path, const char* mode);

// Creates a new file for reading and writing, failing when it exists;
// a descriptor, or -1.
int native_create_new(const char* host_path);

// Removes a file; 0 on success.
int native_remove(const char* host_path);
