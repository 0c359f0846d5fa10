// What ICU knows of Unicode beyond single code points: case mapping and
// user-perceived characters (extended grapheme clusters).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace note2md::unicode {

// An ICU service that fails at run time (missing data, no memory, a text too
// large for its offsets) throws system::Failure (upperCasing, graphemes) with
// ICU's error code: never a fallback value.

// Upper case by the default full Unicode mapping, independent of any locale.
// Ill-formed input is repaired first, so the result is always valid UTF-8.
std::string toUpper(std::string_view text);

// Byte length of the first `count` user-perceived characters, or the whole
// length when the text has fewer. Looks at only as much of the text as it
// needs, so a note of any size will do.
std::size_t graphemePrefixLength(std::string_view text, std::size_t count);

// Byte offset of the last user-perceived character equal to `character`.
std::optional<std::size_t> findLastCharacter(std::string_view text, std::string_view character);

}  // namespace note2md::unicode
