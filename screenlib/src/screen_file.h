// Reading screen files (the format of docs/screen-files.md) and building
// screens from them.
#pragma once

#include <string>
#include <vector>

#include "screen_model.h"

namespace screenlib::detail {

// Reads and checks a whole screen file, resolving every name through the
// table. On failure gives null and sends the reason to the diagnostic sink.
// With stand_ins, a name the table lacks is replaced by the library's
// stand-in for its role and listed there instead of failing.
std::unique_ptr<ScreenFile> read_screen_file(const std::string& path,
                                             const ScreenFunctionEntry* table,
                                             std::vector<std::string>* stand_ins);

// A new screen made from a definition.
std::unique_ptr<Screen> build_screen(const ScreenDefinition& definition, int mode);

}  // namespace screenlib::detail
