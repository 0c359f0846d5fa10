#include "platform/encoding.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace note2md::platform {
namespace {

// Well-formed UTF-8 (no overlong forms, surrogates or code points above
// U+10FFFF) by a table-driven automaton whose state is a shift amount: one
// lookup and one shift per byte, no branches. The table entry of a byte
// packs, for every state, the state that the byte leads to.
namespace utf8 {

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

bool isValid(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  uint64_t state = kAccept;
  std::size_t i = 0;
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
    const std::size_t stop = std::min(size, i + 8);
    for (; i < stop; ++i) state = kTable.entries[data[i]] >> (state & 63);
    state &= 63;
    if (state == kError) return false;
  }
  return state == kAccept;
}

}  // namespace utf8

// Offset of the first ill-formed sequence, or npos for valid UTF-8.
std::size_t firstInvalidUtf8(std::string_view bytes) {
  if (utf8::isValid(bytes)) return std::string::npos;
  // Only a text that is refused is read again, to say where.
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::size_t base = 0;
  while (base < bytes.size()) {
    // ICU's decoder takes 32-bit offsets, so the text goes in slices that
    // end on a character boundary.
    std::size_t end = std::min<std::size_t>(bytes.size(), base + (std::size_t{1} << 30));
    for (int back = 0; back < 3 && end < bytes.size() && U8_IS_TRAIL(data[end]); ++back) --end;
    const uint8_t* slice = data + base;
    const auto length = static_cast<int32_t>(end - base);
    int32_t i = 0;
    while (i < length) {
      // Notes are mostly ASCII; skip it eight bytes at a time.
      while (i + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, slice + i, 8);
        if (word & 0x8080808080808080ULL) break;
        i += 8;
      }
      if (i >= length) break;
      if (slice[i] < 0x80) {
        ++i;
        continue;
      }
      const int32_t start = i;
      UChar32 c;
      U8_NEXT(slice, i, length, c);
      if (c < 0) return base + static_cast<std::size_t>(start);
    }
    base = end;
  }
  return std::string::npos;
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// The bytes after a byte-order mark of `mark` bytes, converted to UTF-8
// into `text`; the problem, or an empty string.
std::string convertToUtf8(std::string_view bytes, std::size_t mark, const char* encoding, Buffer& text) {
  const std::string invalid = std::string("not valid ") + encoding + " text";
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(encoding, &status));
  if (U_FAILURE(status)) return std::string("cannot decode ") + encoding + ": " + u_errorName(status);
  // Refuse ill-formed units instead of substituting U+FFFD.
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (bytes.size() > INT32_MAX / 2) return "the file is too large";
  std::u16string utf16(bytes.size() / 2 + 1, u'\0');
  UChar* target = utf16.data();
  const char* source = bytes.data();
  ucnv_toUnicode(converter.get(), &target, target + utf16.size(), &source, source + bytes.size(), nullptr, true,
                 &status);
  if (U_FAILURE(status)) {
    // The converter stops just after the units it refused.
    char refused[32];
    int8_t length = sizeof refused;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(converter.get(), refused, &length, &ignored);
    const std::size_t offset = mark + static_cast<std::size_t>(source - bytes.data()) - static_cast<std::size_t>(length);
    return invalid + " (ill-formed unit at byte offset " + std::to_string(offset) + ")";
  }
  const auto units = static_cast<int32_t>(target - utf16.data());
  status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, utf16.data(), units, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return invalid;
  text.clear();
  text.reserve(static_cast<std::size_t>(length) + 1);
  status = U_ZERO_ERROR;
  u_strToUTF8(text.end(), length + 1, &length, utf16.data(), units, &status);
  if (U_FAILURE(status)) return invalid;
  text.grow(static_cast<std::size_t>(length));
  return {};
}

}  // namespace

std::string decodeInPlace(Buffer& bytes) {
  const std::string_view view = bytes.view();
  const char* encoding = nullptr;
  std::size_t mark = 0;
  if (view.starts_with(std::string_view("\x00\x00\xFE\xFF", 4))) {
    encoding = "UTF-32BE";
    mark = 4;
  } else if (view.starts_with(std::string_view("\xFF\xFE\x00\x00", 4))) {
    // Checked before UTF-16LE, whose mark is a prefix of this one.
    encoding = "UTF-32LE";
    mark = 4;
  } else if (view.starts_with("\xFE\xFF")) {
    encoding = "UTF-16BE";
    mark = 2;
  } else if (view.starts_with("\xFF\xFE")) {
    encoding = "UTF-16LE";
    mark = 2;
  }
  if (encoding != nullptr) {
    Buffer text;
    std::string problem = convertToUtf8(view.substr(mark), mark, encoding, text);
    if (problem.empty()) bytes.swap(text);
    return problem;
  }
  mark = view.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::size_t invalid = firstInvalidUtf8(view.substr(mark));
  if (invalid != std::string::npos) {
    return "not valid UTF-8 text (ill-formed byte sequence at byte offset " + std::to_string(invalid + mark) + ")";
  }
  if (mark > 0) bytes.eraseFront(mark);
  return {};
}

DecodedText decodeText(std::string_view bytes) {
  Buffer buffer(bytes);
  DecodedText result;
  result.problem = decodeInPlace(buffer);
  result.ok = result.problem.empty();
  if (result.ok) result.text.assign(buffer.view());
  return result;
}

}  // namespace note2md::platform
