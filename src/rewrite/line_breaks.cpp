// S. Contract, with ICU semantics: "(?<=\n)([^\n]{1,100})(?=\n[^\n])" -> "$1  ",
// except that the blanks go before a carriage return that ends the line:
// between CR and LF they would split the line end in two.
//
// The look-behind allows a match only at the start of a line after a line
// feed, and the look-ahead makes it reach that line's end, so a match is a
// whole line of 1 to 100 code points followed by another non-empty line.
#include <cstring>

#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"
#include "unicode/utf8.hpp"

namespace note2md::rewrite {
namespace {
constexpr std::size_t kMaxLineLength = 100;

std::size_t findLineFeed(std::string_view text, std::size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* found = std::memchr(text.data() + from, '\n', text.size() - from);
  return found == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
}
}  // namespace

bool addTrailingSpaces(system::Buffer& buffer, system::Buffer& out) {
  const std::string_view text = buffer.view();
  rewrite::Splice splice(buffer, out, text.size() / 16 + 16);
  for (std::size_t before = findLineFeed(text, 0); before != std::string_view::npos;) {
    const std::size_t start = before + 1;
    const std::size_t after = findLineFeed(text, start);
    if (after == std::string_view::npos) break;
    if (after > start && after + 1 < text.size() && text[after + 1] != '\n' &&
        unicode::hasAtMostCodePoints(text.substr(start, after - start), kMaxLineLength)) {
      splice.insert(text[after - 1] == '\r' ? after - 1 : after).append("  ");
    }
    before = after;
  }
  return splice.finish();
}

}  // namespace note2md::rewrite
