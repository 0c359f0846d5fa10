// Text-to-text forms of the program's buffer operations, for the tests, the
// fuzz targets and the benchmarks.
#pragma once

#include <string>
#include <string_view>

#include "system/buffer.hpp"

namespace note2md::system {

// Makes discardFront do nothing, so that a result can be compared with and
// without memory given back.
struct BufferTesting {
  static void keepFront(Buffer& buffer) { buffer.keepFront_ = true; }
};

}  // namespace note2md::system

namespace note2md::support {

using Rewrite = bool (*)(system::Buffer& text, system::Buffer& out);

// The text that `rewrite` makes of `text`.
std::string rewritten(Rewrite rewrite, std::string_view text);

std::string markHeadingAndSubheadings(std::string_view text);
std::string addTrailingSpaces(std::string_view text);
std::string translateAttachmentLinks(std::string_view text);
std::string replaceCheckboxes(std::string_view text);
std::string convertLinksToMarkdown(std::string_view text);

struct DecodedText {
  bool ok = false;
  std::string text;     // UTF-8 without a byte-order mark, when ok
  std::string problem;  // why the bytes are not text, as the error line words it, when not ok
};

// decodeNote on a copy of the bytes.
DecodedText decodeText(std::string_view bytes);

}  // namespace note2md::support
