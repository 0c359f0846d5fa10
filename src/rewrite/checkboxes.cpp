// X. U+2610 BALLOT BOX becomes "[ ]" and U+2612 BALLOT BOX WITH X becomes
// "[x]". One pass does both: neither replacement can form the other glyph.
#include <cstring>

#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"

namespace note2md::rewrite {

bool into::replaceCheckboxes(std::string_view text, std::string& out) {
  // Both glyphs are E2 98 xx in UTF-8.
  rewrite::Splice splice(text, out, 64);
  const char* data = text.data();
  for (std::size_t i = 0; i + 2 < text.size();) {
    const void* lead = std::memchr(data + i, 0xE2, text.size() - 2 - i);
    if (lead == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(lead) - data);
    if (data[i + 1] == '\x98' && (data[i + 2] == '\x90' || data[i + 2] == '\x92')) {
      splice.replace(i, i + 3).append(data[i + 2] == '\x90' ? "[ ]" : "[x]");
      i += 3;
    } else {
      ++i;
    }
  }
  return splice.finish();
}

}  // namespace note2md::rewrite
