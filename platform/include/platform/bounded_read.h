// Reading a whole text file under stated limits. The limits are checked as
// the bytes arrive, so an endless or huge input (a device, a pipe, a file
// without line ends) is refused before it fills memory.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include <string>

struct ReadLimits {
    size_t max_bytes;  // the whole file
    size_t max_line;   // one line without its '\n'; 0 for no line limit
};

// Where and why a read stopped. `line` is the line being read when a limit
// was passed, 0 when the failure is not about one line.
struct ReadFailure {
    int line = 0;
    std::string reason;
};

// Reads an open file to its end into *text; false on a read error or a
// passed limit, with *failure filled and *text left empty.
bool read_bounded(FILE* file, const ReadLimits& limits, std::string* text, ReadFailure* failure);

// Opens a native path and reads it as read_bounded does; a folder or a file
// that cannot be opened fails with the system's reason.
bool read_bounded_file(const char* native_path, const ReadLimits& limits, std::string* text,
                       ReadFailure* failure);

// "N MiB" or "N bytes", for messages that state a limit.
std::string size_text(size_t bytes);
