// Reading a note and writing the result. Failures throw FileError.
#pragma once

#include <string>
#include <string_view>

#include "system/buffer.hpp"
#include "system/error.hpp"  // IWYU pragma: export

namespace note2md::system {

// The whole file's bytes.
Buffer readFile(const std::string& path);

// Replaces the file at `path` with `data` in one step, as the shell's ">"
// could write it (see findDestination): the destination holds either its
// previous content or all of `data`, never a part, also after a power loss.
// An existing file hands on its attributes (see carryAttributes); a new one
// gets what ">" would give it.
void writeFileAtomically(const std::string& path, std::string_view data);

}  // namespace note2md::system
