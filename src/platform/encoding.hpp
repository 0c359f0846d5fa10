// Turning the bytes of a note file into UTF-8 text.
#pragma once

#include <string>

namespace note2md::platform {

struct DecodedText {
  bool ok = false;
  std::string text;     // UTF-8 without a byte-order mark, when ok
  std::string problem;  // why the bytes are not text, when not ok
};

// UTF-8 unless a byte-order mark names UTF-16 or UTF-32 in either byte order;
// the mark itself is dropped. Bytes that are not valid in that encoding are
// refused rather than guessed at.
DecodedText decodeText(std::string bytes);

}  // namespace note2md::platform
