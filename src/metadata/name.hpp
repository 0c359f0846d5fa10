// The name the caller files a note under.
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// The note's first 100 user-perceived characters, sanitised; when that leaves
// fewer than 10 characters, the last "/" of `argument0` (the path the program
// was started by) and what follows it, unsanitised, or the empty string when
// it holds no "/".
std::string createName(std::string_view text, std::string_view argument0);

}  // namespace note2md::metadata
