#include "unicode/services.hpp"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include <unicode/ubrk.h>
#include <unicode/ucasemap.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include "system/failure.hpp"
#include "unicode/utf8.hpp"

namespace note2md::unicode {

namespace {
struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};
struct BreakIteratorCloser {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct TextCloser {
  void operator()(UText* text) const { utext_close(text); }
};

// A wrong answer here would reach the record with status 0, so every ICU
// failure becomes an error instead of a fallback.
void check(UErrorCode status, system::Step service) {
  if (U_FAILURE(status)) throw system::Failure(service, status);
}

// A character break iterator over UTF-8 text of at most INT32_MAX bytes,
// the most that ICU's offsets can address.
struct CharacterBreaks {
  std::unique_ptr<UText, TextCloser> text;
  std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator;

  explicit CharacterBreaks(std::string_view utf8) {
    if (utf8.size() > INT32_MAX) check(U_INDEX_OUTOFBOUNDS_ERROR, system::Step::graphemes);
    UErrorCode status = U_ZERO_ERROR;
    text.reset(utext_openUTF8(nullptr, utf8.data(), static_cast<int64_t>(utf8.size()), &status));
    check(status, system::Step::graphemes);
    // The root locale's rules are the default extended grapheme clusters.
    iterator.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
    check(status, system::Step::graphemes);
    ubrk_setUText(iterator.get(), text.get(), &status);
    check(status, system::Step::graphemes);
  }
};

// The longest prefix of valid UTF-8 no longer than `bytes` that ends on a
// code point boundary.
std::string_view codePointPrefix(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text;
  while (bytes > 0 && U8_IS_TRAIL(static_cast<unsigned char>(text[bytes]))) --bytes;
  return text.substr(0, bytes);
}
}  // namespace

std::string toUpper(std::string_view text) {
  std::string source = repairUtf8(text);
  if (source.size() > INT32_MAX / 3) check(U_INDEX_OUTOFBOUNDS_ERROR, system::Step::upperCasing);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCaseMap, CaseMapCloser> map(ucasemap_open("", 0, &status));
  check(status, system::Step::upperCasing);
  // Full upper-casing grows a text at most threefold per code point.
  std::string upper(source.size() * 3 + 1, '\0');
  int32_t length = ucasemap_utf8ToUpper(map.get(), upper.data(), static_cast<int32_t>(upper.size()), source.data(),
                                        static_cast<int32_t>(source.size()), &status);
  check(status, system::Step::upperCasing);
  upper.resize(static_cast<std::size_t>(length));
  return upper;
}

std::size_t graphemePrefixLength(std::string_view text, std::size_t count) {
  if (count == 0 || text.empty()) return 0;
  // Only the start of the text matters, so the iterator sees a prefix that
  // grows until it holds one cluster more than asked for: then the last
  // boundary needed cannot depend on where the prefix was cut.
  for (std::size_t window = 64 * (count + 1);; window *= 2) {
    std::string_view prefix = codePointPrefix(text, std::min<std::size_t>(window, INT32_MAX));
    CharacterBreaks breaks(prefix);
    std::size_t found = 0;
    std::size_t wanted = prefix.size();
    while (found <= count) {
      int32_t boundary = ubrk_next(breaks.iterator.get());
      if (boundary == UBRK_DONE) break;
      if (++found == count) wanted = static_cast<std::size_t>(boundary);
    }
    if (found > count || prefix.size() == text.size()) return found < count ? text.size() : wanted;
    if (window >= INT32_MAX) check(U_INDEX_OUTOFBOUNDS_ERROR, system::Step::graphemes);
  }
}

std::optional<std::size_t> findLastCharacter(std::string_view text, std::string_view character) {
  if (text.empty()) return std::nullopt;
  CharacterBreaks breaks(text);
  std::optional<std::size_t> found;
  int32_t start = ubrk_first(breaks.iterator.get());
  for (int32_t end = ubrk_next(breaks.iterator.get()); end != UBRK_DONE;
       start = end, end = ubrk_next(breaks.iterator.get())) {
    auto position = static_cast<std::size_t>(start);
    if (text.substr(position, static_cast<std::size_t>(end - start)) == character) found = position;
  }
  return found;
}

}  // namespace note2md::unicode
