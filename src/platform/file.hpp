// Reading a note and writing the result. Failures throw FileError whose
// message names the path and the reason, ready for the error line.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/buffer.hpp"

namespace note2md::platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole file as UTF-8 text (see decodeText for the encodings accepted).
Buffer readTextFile(const std::string& path);

// Replaces the file at `path` with `data` in one step: the destination holds
// either its previous content or all of `data`, never a part. An existing
// file keeps its permission bits; a new one gets 0666 minus the umask. A
// symbolic link is followed, so the file it names is replaced.
void writeFileAtomically(const std::string& path, std::string_view data);

}  // namespace note2md::platform
