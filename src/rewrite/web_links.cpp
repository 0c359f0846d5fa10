// L. Contract, with ICU semantics: "((https?|ftp)://\S+)", case-insensitive,
// -> "[$1]($1)".
//
// Every match holds "://", and each "://" has at most one scheme that can end
// there: "http", "https" or "ftp" in any case, where ICU's case folding also
// lets U+017F LATIN SMALL LETTER LONG S stand for the "s". The address then
// runs to the next white space and must not be empty.
#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"
#include "unicode/utf8.hpp"

namespace note2md::rewrite {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool endsWithFolded(std::string_view text, std::size_t end, std::string_view lowerAscii) {
  if (end < lowerAscii.size()) return false;
  std::size_t start = end - lowerAscii.size();
  for (std::size_t i = 0; i < lowerAscii.size(); ++i) {
    char c = text[start + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerAscii[i]) return false;
  }
  return true;
}

// Where the scheme that ends at `separator` (the position of "://") starts.
std::size_t schemeStart(std::string_view text, std::size_t separator) {
  if (endsWithFolded(text, separator, "http")) return separator - 4;
  if (endsWithFolded(text, separator, "ftp")) return separator - 3;
  std::size_t beforeS = npos;
  if (endsWithFolded(text, separator, "s")) {
    beforeS = separator - 1;
  } else if (separator >= 2 && text.compare(separator - 2, 2, "\xC5\xBF") == 0) {
    beforeS = separator - 2;
  }
  if (beforeS != npos && endsWithFolded(text, beforeS, "http")) return beforeS - 4;
  return npos;
}

}  // namespace

bool convertLinksToMarkdown(system::Buffer& buffer, system::Buffer& out) {
  const std::string_view text = buffer.view();
  rewrite::Splice splice(buffer, out, text.size() / 8 + 64);
  for (std::size_t separator = text.find("://"); separator != npos;) {
    const std::size_t start = schemeStart(text, separator);
    const std::size_t rest = separator + 3;
    const std::size_t end = start == npos ? rest : unicode::skipNonWhiteSpace(text, rest);
    if (start == npos || end == rest) {
      separator = text.find("://", separator + 1);
      continue;
    }
    const std::string_view address = text.substr(start, end - start);
    splice.replace(start, end).append("[").append(address).append("](").append(address).append(")");
    // A scheme cannot start before `end`, which is white space or the end of the text.
    separator = text.find("://", end);
  }
  return splice.finish();
}

}  // namespace note2md::rewrite
