#include "unicode/utf8.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include <unicode/uchar.h>

namespace note2md::unicode {
namespace {

// Well-formed UTF-8 by a table-driven automaton whose state is a shift
// amount: one lookup and one shift per byte, no branches. The table entry of
// a byte packs, for every state, the state that the byte leads to.
constexpr uint64_t kAccept = 0, kError = 6, kOne = 12, kTwo = 18, kAfterE0 = 24, kAfterED = 30, kAfterF0 = 36,
                   kThree = 42, kAfterF4 = 48;

struct Table {
  uint64_t entries[256] = {};
};

constexpr Table makeTable() {
  Table table;
  for (int byte = 0; byte < 256; ++byte) {
    uint64_t next[9] = {kError, kError, kError, kError, kError, kError, kError, kError, kError};
    auto to = [&](uint64_t from, uint64_t state) { next[from / 6] = state; };
    if (byte < 0x80) to(kAccept, kAccept);
    if (byte >= 0x80 && byte <= 0xBF) {
      to(kOne, kAccept);
      to(kTwo, kOne);
      to(kThree, kTwo);
      if (byte >= 0xA0) to(kAfterE0, kOne);
      if (byte <= 0x9F) to(kAfterED, kOne);
      if (byte >= 0x90) to(kAfterF0, kTwo);
      if (byte <= 0x8F) to(kAfterF4, kTwo);
    }
    if (byte >= 0xC2 && byte <= 0xDF) to(kAccept, kOne);
    if (byte == 0xE0) to(kAccept, kAfterE0);
    if ((byte >= 0xE1 && byte <= 0xEC) || byte == 0xEE || byte == 0xEF) to(kAccept, kTwo);
    if (byte == 0xED) to(kAccept, kAfterED);
    if (byte == 0xF0) to(kAccept, kAfterF0);
    if (byte >= 0xF1 && byte <= 0xF3) to(kAccept, kThree);
    if (byte == 0xF4) to(kAccept, kAfterF4);
    for (int state = 0; state < 9; ++state) table.entries[byte] |= next[state] << (state * 6);
  }
  return table;
}

constexpr Table kTable = makeTable();

// Where the ill-formed sequence starts, found byte by byte from `from`, where
// the automaton was in `state` (inside a sequence whose lead byte lies at
// most three bytes back, or between sequences).
std::size_t locateError(const unsigned char* data, std::size_t size, std::size_t from, uint64_t state) {
  std::size_t start = from;
  if (state != kAccept) {
    while (start > 0 && (data[start - 1] & 0xC0) == 0x80) --start;
    if (start > 0) --start;
  }
  for (std::size_t i = from; i < size; ++i) {
    if (state == kAccept) start = i;
    state = (kTable.entries[data[i]] >> state) & 63;
    if (state == kError) return start;
  }
  return start;  // a sequence cut off by the end
}

}  // namespace

std::size_t firstInvalidUtf8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  uint64_t state = kAccept;
  std::size_t i = 0;
  std::size_t chunk = 0;
  uint64_t chunkState = kAccept;
  while (i < size) {
    // Runs of ASCII between characters are skipped eight bytes at a time.
    if (state == kAccept && i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    chunk = i;
    chunkState = state;
    if (i + 8 <= size) {
      // A fixed count, which the compiler unrolls.
      for (int k = 0; k < 8; ++k) state = kTable.entries[data[i + k]] >> (state & 63);
      i += 8;
    } else {
      for (; i < size; ++i) state = kTable.entries[data[i]] >> (state & 63);
    }
    state &= 63;
    // Only a text that is refused is looked at again, to say where.
    if (state == kError) return locateError(data, size, chunk, chunkState);
  }
  return state == kAccept ? std::string_view::npos : locateError(data, size, chunk, chunkState);
}

std::string repairUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size());
  forEachSequence(
      text, [&](std::string_view bytes, int32_t c) { repaired += c < 0 ? std::string_view("\xEF\xBF\xBD") : bytes; });
  return repaired;
}

bool isWhiteSpace(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

bool isTrimSpace(char32_t c) {
  // ASCII has two: most calls end here without asking ICU.
  if (c < 0x80) return c == U'\t' || c == U' ';
  return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

std::size_t findLineTerminator(std::string_view text, std::size_t from) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = from; i < text.size(); ++i) {
    unsigned char byte = bytes[i];
    // Only 0A-0D, C2 (NEL) and E2 (LS, PS) can start a terminator.
    if ((byte >= 0x0A && byte <= 0x0D) || ((byte == 0xC2 || byte == 0xE2) && lineTerminatorLengthAt(text, i) > 0))
      return i;
  }
  return text.size();
}

std::size_t countCodePoints(std::string_view text) {
  std::size_t count = 0;
  for (char byte : text) count += !U8_IS_TRAIL(static_cast<unsigned char>(byte));
  return count;
}

std::size_t skipTrimSpace(std::string_view text, std::size_t i) {
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == ' ' || byte == '\t') {
      ++i;
      continue;
    }
    if (byte < 0x80) break;
    std::size_t next = i;
    if (!isTrimSpace(nextCodePoint(text, next))) break;
    i = next;
  }
  return i;
}

std::string_view trim(std::string_view text) {
  std::size_t begin = skipTrimSpace(text, 0);
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t previous = end;
    if (!isTrimSpace(previousCodePoint(text, previous))) break;
    end = previous;
  }
  return text.substr(begin, end - begin);
}

}  // namespace note2md::unicode
