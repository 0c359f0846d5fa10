// UTF-8 text and the classes of its code points: what the scans of the
// rewritings and the metadata step through. Every text inside the program is
// valid UTF-8: the reader checks the note, and argument strings are repaired
// on entry.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <unicode/utf8.h>

namespace note2md::unicode {

// Offset of the first ill-formed sequence (as ICU's decoder counts it), or
// npos for valid UTF-8: no overlong forms, surrogates or code points above
// U+10FFFF.
std::size_t firstInvalidUtf8(std::string_view bytes);

// Walks any bytes as ICU's decoder does: `each(bytes, c)` for every
// well-formed code point c, with its bytes, and for every ill-formed
// sequence, with c < 0.
template <typename Each>
void forEachSequence(std::string_view text, Each each) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size() < INT32_MAX ? text.size() : INT32_MAX);
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    each(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)), static_cast<int32_t>(c));
  }
}

// Valid UTF-8: ill-formed sequences become U+FFFD.
std::string repairUtf8(std::string_view text);

// Decodes the code point at byte offset i of valid UTF-8 and moves i past it.
inline char32_t nextCodePoint(std::string_view text, std::size_t& i) {
  assert(i < text.size());
  UChar32 c;
  U8_NEXT_UNSAFE(text.data(), i, c);
  return static_cast<char32_t>(c);
}

// The code point that ends at byte offset i of valid UTF-8; moves i to its start.
inline char32_t previousCodePoint(std::string_view text, std::size_t& i) {
  assert(i > 0 && i <= text.size());
  UChar32 c;
  U8_PREV_UNSAFE(text.data(), i, c);
  return static_cast<char32_t>(c);
}

// The characters that end a line for the regular-expression dot:
// LF, VT, FF, CR, NEL, LINE SEPARATOR and PARAGRAPH SEPARATOR.
inline bool isLineTerminator(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Unicode White_Space: exactly what "\s" matches.
bool isWhiteSpace(char32_t c);

// Tab and the space separators (Zs): the set that trimming removes.
bool isTrimSpace(char32_t c);

// Whether the code point at byte offset i is White_Space; i is not moved.
inline bool isWhiteSpaceAt(std::string_view text, std::size_t i) {
  assert(i < text.size());
  auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
  return isWhiteSpace(nextCodePoint(text, i));
}

// Byte length of the line terminator at offset i, or 0 when there is none.
inline std::size_t lineTerminatorLengthAt(std::string_view text, std::size_t i) {
  assert(i < text.size());
  auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return (byte >= 0x0A && byte <= 0x0D) ? 1 : 0;
  if (byte == 0xC2) return (i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) ? 2 : 0;
  if (byte == 0xE2) {
    return (i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8)
               ? 3
               : 0;
  }
  return 0;
}

// Offset of the first line terminator at or after `from`, or the text's size.
std::size_t findLineTerminator(std::string_view text, std::size_t from);

// Number of code points in valid UTF-8.
std::size_t countCodePoints(std::string_view text);

// Whether valid UTF-8 holds at most `limit` code points; looks at no more of
// a long text than it must.
inline bool hasAtMostCodePoints(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return true;
  if (text.size() > 4 * limit) return false;
  return countCodePoints(text) <= limit;
}

// The end of the run of non-white-space code points that starts at i.
inline std::size_t skipNonWhiteSpace(std::string_view text, std::size_t i) {
  while (i < text.size() && !isWhiteSpaceAt(text, i)) {
    auto byte = static_cast<unsigned char>(text[i]);
    i += byte < 0x80 ? 1 : static_cast<std::size_t>(U8_COUNT_TRAIL_BYTES_UNSAFE(byte)) + 1;
  }
  return i;
}

// The end of the run of tabs and space separators that starts at byte
// offset i of valid UTF-8.
std::size_t skipTrimSpace(std::string_view text, std::size_t i);

// Removes tab and space-separator characters from both ends.
std::string_view trim(std::string_view text);

}  // namespace note2md::unicode
