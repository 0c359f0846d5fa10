// Header lines of an exported note: "Created: 5 March", "Tag(s): a, b".
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// The value on the topmost line that holds, after optional leading white
// space, the key, exactly one blank and at least one more character; the value
// runs to the end of that line, blanks included. Empty when no line does.
//
// The key is a regular-expression fragment (so "Tag\(s\):" finds "Tag(s):"),
// and the result is that of the pattern "^\s*" KEY " (.+)$" with "^" and "$"
// matching at every line. Throws platform::RegexError when that pattern does
// not compile.
std::string extractValueForKey(std::string_view text, std::string_view key);

}  // namespace note2md::metadata
