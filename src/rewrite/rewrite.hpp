// The Markdown rewritings, one per option letter; the run applies them in the
// order H, S, A, X, L.
//
// Each works on the run's two buffers and is a function of the text alone:
// it returns true when it wrote the new text to `out` (the front of `text`
// may then be gone, see Splice), and false when the result is in `text`,
// left as it was or changed in place; `out` is unspecified then.
#pragma once

#include "system/buffer.hpp"

namespace note2md::rewrite {

// H: "# " before the first line that holds anything but white space, when it
// is short and followed by a blank line; "## " before every short line that
// has at least two blank lines above it and one below.
bool markHeadingAndSubheadings(system::Buffer& text, system::Buffer& out);

// S: two blanks at the end of every line of 1 to 100 code points that follows
// a line feed and is followed by another non-empty line.
bool addTrailingSpaces(system::Buffer& text, system::Buffer& out);

// A: each attachment link ("xatch" ... ":///Attachments/NAME") becomes a link
// to /Attachments/NAME and, on the next line, an inline image of it.
bool translateAttachmentLinks(system::Buffer& text, system::Buffer& out);

// X: U+2610 becomes "[ ]" and U+2612 becomes "[x]".
bool replaceCheckboxes(system::Buffer& text, system::Buffer& out);

// L: every http, https or ftp address becomes [address](address).
bool convertLinksToMarkdown(system::Buffer& text, system::Buffer& out);

}  // namespace note2md::rewrite
