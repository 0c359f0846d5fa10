#include "platform/encoding.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace note2md::platform {
namespace {

bool startsWith(const std::string& bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// Offset of the first ill-formed sequence, or npos for valid UTF-8.
std::size_t firstInvalidUtf8(std::string_view bytes) {
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

DecodedText failure(std::string problem) {
  DecodedText result;
  result.problem = std::move(problem);
  return result;
}

DecodedText convertToUtf8(std::string_view bytes, const char* encoding) {
  const std::string invalid = std::string("not valid ") + encoding + " text";
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(encoding, &status));
  if (U_FAILURE(status)) return failure(std::string("cannot decode ") + encoding);
  // Refuse ill-formed units instead of substituting U+FFFD.
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (bytes.size() > INT32_MAX / 2) return failure("the file is too large");
  std::u16string utf16(bytes.size() / 2 + 1, u'\0');
  int32_t units = ucnv_toUChars(converter.get(), utf16.data(), static_cast<int32_t>(utf16.size()),
                                bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return failure(invalid);
  status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, utf16.data(), units, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return failure(invalid);
  DecodedText result;
  result.text.resize(static_cast<std::size_t>(length));
  status = U_ZERO_ERROR;
  u_strToUTF8(result.text.data(), length, &length, utf16.data(), units, &status);
  if (U_FAILURE(status)) return failure(invalid);
  result.ok = true;
  return result;
}

}  // namespace

DecodedText decodeText(std::string bytes) {
  if (startsWith(bytes, std::string_view("\x00\x00\xFE\xFF", 4)))
    return convertToUtf8(std::string_view(bytes).substr(4), "UTF-32BE");
  // Checked before UTF-16LE, whose mark is a prefix of this one.
  if (startsWith(bytes, std::string_view("\xFF\xFE\x00\x00", 4)))
    return convertToUtf8(std::string_view(bytes).substr(4), "UTF-32LE");
  if (startsWith(bytes, "\xFE\xFF")) return convertToUtf8(std::string_view(bytes).substr(2), "UTF-16BE");
  if (startsWith(bytes, "\xFF\xFE")) return convertToUtf8(std::string_view(bytes).substr(2), "UTF-16LE");
  std::size_t mark = startsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
  bytes.erase(0, mark);
  std::size_t invalid = firstInvalidUtf8(bytes);
  if (invalid != std::string::npos) {
    return failure("not valid UTF-8 text (ill-formed byte sequence at byte offset " +
                   std::to_string(invalid + mark) + ")");
  }
  DecodedText result;
  result.ok = true;
  result.text = std::move(bytes);
  return result;
}

}  // namespace note2md::platform
