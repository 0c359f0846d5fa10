// Turning the bytes of a note file into UTF-8 text.
#pragma once

#include "system/buffer.hpp"

namespace note2md::unicode {

// Replaces the note's bytes with its text in UTF-8: UTF-8 unless a
// byte-order mark names UTF-16 or UTF-32 in either byte order; the mark
// itself is dropped. Bytes that are not valid in that encoding are refused
// rather than guessed at: throws system::Failure (notUtf8, notEncoding,
// with the byte offset of the first bad one; noConverter; tooLarge).
void decodeNote(system::Buffer& note);

}  // namespace note2md::unicode
