#include "unicode/decode.hpp"

#include <cerrno>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include <unicode/ucnv.h>

#include "system/failure.hpp"
#include "unicode/utf8.hpp"

namespace note2md::unicode {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

bool isLeadSurrogate(const char* unit, bool bigEndian) {
  const auto high = static_cast<unsigned char>(unit[bigEndian ? 0 : 1]);
  return (high & 0xFC) == 0xD8;
}

// The note's bytes after a byte-order mark of `mark` bytes, converted to
// UTF-8 into `text`; throws Failure when they are not text. The note is converted
// a piece at a time and its memory given back behind the conversion, so
// that the note and its UTF-8 are never both whole in memory.
void convertToUtf8(system::Buffer& note, std::size_t mark, const char* encoding, system::Buffer& text) {
  const std::size_t unit = mark;  // the mark is one code unit
  const bool bigEndian = std::string_view(encoding).ends_with("BE");
  UErrorCode status = U_ZERO_ERROR;
  Converter from(ucnv_open(encoding, &status));
  Converter to(ucnv_open("UTF-8", &status));
  if (U_FAILURE(status)) throw system::Failure(system::Step::noConverter, status, encoding);
  // Refuse ill-formed units instead of substituting U+FFFD.
  ucnv_setToUCallBack(from.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  const char* const begin = note.data() + mark;
  const char* const end = note.data() + note.size();
  // Two bytes of UTF-16 give at most three of UTF-8, four of UTF-32 four.
  text.reserve(static_cast<std::size_t>(end - begin) / 2 * 3 + 4);
  char* target = text.data();
  const char* source = begin;
  // The conversion goes through UTF-16, kept here between the pieces.
  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  constexpr std::size_t kPiece = std::size_t{4} << 20;
  for (bool first = true; U_SUCCESS(status) && (first || source < end); first = false) {
    const char* pieceEnd = static_cast<std::size_t>(end - source) > kPiece ? source + kPiece : end;
    // A piece never ends inside a surrogate pair: ICU would take a byte of
    // the next unit before it refused a lone lead surrogate, and name the
    // wrong offset.
    if (pieceEnd != end && unit == 2 && isLeadSurrogate(pieceEnd - 2, bigEndian)) pieceEnd -= 2;
    ucnv_convertEx(to.get(), from.get(), &target, text.data() + text.capacity(), &source, pieceEnd, pivot, &pivotSource,
                   &pivotTarget, pivot + std::size(pivot), first, pieceEnd == end, &status);
    note.discardFront(static_cast<std::size_t>(source - note.data()));
  }
  // Room was made for the longest possible result, up to the largest text.
  if (status == U_BUFFER_OVERFLOW_ERROR) throw system::Failure(system::Step::tooLarge, EFBIG);
  if (U_FAILURE(status)) {
    // The converter stops just after the units it refused.
    char refused[32];
    int8_t length = sizeof refused;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(from.get(), refused, &length, &ignored);
    const std::size_t offset = static_cast<std::size_t>(source - note.data()) - static_cast<std::size_t>(length);
    throw system::Failure(system::Step::notEncoding, 0, encoding, offset);
  }
  text.grow(static_cast<std::size_t>(target - text.data()));
}

}  // namespace

void decodeNote(system::Buffer& note) {
  const std::string_view view = note.view();
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
    system::Buffer text;
    convertToUtf8(note, mark, encoding, text);
    note.swap(text);
    return;
  }
  mark = view.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  const std::size_t invalid = firstInvalidUtf8(view.substr(mark));
  if (invalid != std::string::npos) throw system::Failure(system::Step::notUtf8, 0, {}, invalid + mark);
  if (mark > 0) note.moveFront(mark);
}

}  // namespace note2md::unicode
