// Header lines of an exported note: "Created: 5 March", "Tag(s): a, b".
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace note2md::metadata {

// The value on the topmost line that holds, after optional leading white
// space, the key, exactly one blank and at least one more character; the value
// runs to the end of that line, blanks included. Empty when no line does.
//
// The result is that of the pattern "^\s*" KEY " (.+)$" with "^" and "$"
// matching at every line. The key is written as a fragment of that pattern
// (so "Tag\(s\):" finds "Tag(s):"), but only a fragment that stands for plain
// text, without white space, is accepted: the search is a linear scan, not a
// regular-expression engine. Throws std::invalid_argument for any other key,
// which only a wrong call can pass.
std::string extractValueForKey(std::string_view text, std::string_view key);

}  // namespace note2md::metadata
