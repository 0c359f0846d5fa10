// The name the caller files a note under.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace note2md::metadata {

// The note's first 100 user-perceived characters, sanitised; when that leaves
// fewer than 10 characters, the last "/" of `argument0` (the path the program
// was started by) and what follows it, unsanitised, or the empty string when
// it holds no "/".
std::string createName(std::string_view text, std::string_view argument0);

// Every code point other than A-Z, a-z, 0-9, "_" and "-" becomes one blank;
// the result is trimmed at both ends.
std::string filterUnwantedCharsFrom(std::string_view text);

// The path from its last "/" (a whole character) to the end, slash included;
// nothing when it has no "/".
std::optional<std::string> extractFileName(std::string_view path);

}  // namespace note2md::metadata
