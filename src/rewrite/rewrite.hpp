// The Markdown rewritings, one per option letter. Each is a pure function of
// the text; the run applies them in the order H, S, A, X, L.
//
// Each comes in two forms. The program uses the one in namespace `into`,
// which works on the run's two buffers: it returns true when it wrote the new
// text to `out` (the front of `text` may then be gone, see Splice), and false
// when the result is in `text`, left as it was or changed in place. `out` is
// unspecified then. The form that returns the new text is for the tests, the
// fuzz targets and the benchmarks.
#pragma once

#include <string>
#include <string_view>

#include "platform/buffer.hpp"

namespace note2md::rewrite {

// H: "# " before the first line that holds anything but white space, when it
// is short and followed by a blank line; "## " before every short line that
// has at least two blank lines above it and one below.
std::string markHeadingAndSubheadings(std::string_view text);

// S: two blanks at the end of every line of 1 to 100 code points that follows
// a line feed and is followed by another non-empty line.
std::string addTrailingSpaces(std::string_view text);

// A: each attachment link ("xatch" ... ":///Attachments/NAME") becomes a link
// to /Attachments/NAME and, on the next line, an inline image of it.
std::string translateAttachmentLinks(std::string_view text);

// X: U+2610 becomes "[ ]" and U+2612 becomes "[x]".
std::string replaceCheckboxes(std::string_view text);

// L: every http, https or ftp address becomes [address](address).
std::string convertLinksToMarkdown(std::string_view text);

namespace into {
bool markHeadingAndSubheadings(platform::Buffer& text, platform::Buffer& out);
bool addTrailingSpaces(platform::Buffer& text, platform::Buffer& out);
bool translateAttachmentLinks(platform::Buffer& text, platform::Buffer& out);
bool replaceCheckboxes(platform::Buffer& text, platform::Buffer& out);
bool convertLinksToMarkdown(platform::Buffer& text, platform::Buffer& out);
}  // namespace into

}  // namespace note2md::rewrite
