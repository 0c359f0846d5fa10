// Reading a note and writing the result. Failures throw FileError (see
// file_error.hpp) whose message names the path and the reason.
#pragma once

#include <string>
#include <string_view>

#include "platform/buffer.hpp"
#include "platform/file_error.hpp"

namespace note2md::platform {

// The whole file as UTF-8 text (see decodeInPlace for the encodings
// accepted).
Buffer readTextFile(const std::string& path);

// Replaces the file at `path` with `data` in one step, as the shell's ">"
// could write it (see findDestination): the destination holds either its
// previous content or all of `data`, never a part, also after a power loss.
// An existing file hands on its attributes (see carryAttributes); a new one
// gets what ">" would give it.
void writeFileAtomically(const std::string& path, std::string_view data);

}  // namespace note2md::platform
