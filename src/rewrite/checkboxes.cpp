// X. U+2610 BALLOT BOX becomes "[ ]" and U+2612 BALLOT BOX WITH X becomes
// "[x]". One pass does both: neither replacement can form the other glyph.
#include <cstring>

#include "rewrite/rewrite.hpp"

namespace note2md::rewrite {

bool replaceCheckboxes(system::Buffer& text, system::Buffer&) {
  // Both glyphs are E2 98 xx in UTF-8, three bytes like their replacements,
  // so the text changes where it is.
  char* data = text.data();
  const std::size_t size = text.size();
  for (std::size_t i = 0; i + 2 < size;) {
    const void* lead = std::memchr(data + i, 0xE2, size - 2 - i);
    if (lead == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(lead) - data);
    if (data[i + 1] == '\x98' && (data[i + 2] == '\x90' || data[i + 2] == '\x92')) {
      const bool checked = data[i + 2] == '\x92';
      data[i] = '[';
      data[i + 1] = checked ? 'x' : ' ';
      data[i + 2] = ']';
      i += 3;
    } else {
      ++i;
    }
  }
  return false;
}

}  // namespace note2md::rewrite
