// Turning the bytes of a note file into UTF-8 text.
#pragma once

#include <string>
#include <string_view>

#include "platform/buffer.hpp"

namespace note2md::platform {

struct DecodedText {
  bool ok = false;
  std::string text;     // UTF-8 without a byte-order mark, when ok
  std::string problem;  // why the bytes are not text, when not ok
};

// Turns the bytes into UTF-8 text where they are: UTF-8 unless a byte-order
// mark names UTF-16 or UTF-32 in either byte order; the mark itself is
// dropped. Bytes that are not valid in that encoding are refused rather than
// guessed at. Returns why the bytes are not text, or an empty string.
std::string decodeInPlace(Buffer& bytes);

// The same on a copy of the bytes.
DecodedText decodeText(std::string_view bytes);

}  // namespace note2md::platform
