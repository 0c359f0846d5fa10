#include "metadata/header.hpp"

#include <cctype>
#include <optional>
#include <stdexcept>

#include "unicode/services.hpp"
#include "unicode/utf8.hpp"

namespace note2md::metadata {
namespace {

// The text a key stands for when it is a plain literal once its backslash
// escapes are read; nothing when it uses any other pattern syntax, or white
// space, which "\s*" could then share with it.
std::optional<std::string> literalKey(std::string_view key) {
  static constexpr std::string_view kSyntax = "\\^$.|?*+()[]{}";
  std::string literal;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char c = key[i];
    if (c == '\\') {
      if (i + 1 == key.size()) return std::nullopt;
      char escaped = key[++i];
      // "\(" is a literal parenthesis; "\s", "\d", "\Q" and the like are not literals.
      bool punctuation = static_cast<unsigned char>(escaped) < 0x80 &&
                         !std::isalnum(static_cast<unsigned char>(escaped)) && escaped > ' ' && escaped != 0x7F;
      if (!punctuation) return std::nullopt;
      literal += escaped;
    } else if (kSyntax.find(c) != std::string_view::npos) {
      return std::nullopt;
    } else {
      literal += c;
    }
  }
  if (literal.empty()) return std::nullopt;
  for (std::size_t i = 0; i < literal.size();) {
    if (unicode::isWhiteSpace(unicode::nextCodePoint(literal, i))) return std::nullopt;
  }
  return literal;
}

// The pattern's result in linear time. "^\s*" can only let the key start
// where a line's leading tabs and space separators end (the other white space
// characters end lines), and "(.+)$" takes the rest of that line. So the
// answer is at the first occurrence of the key that has nothing but such
// blanks before it on its line, one blank after it and then a character that
// does not end the line. Looking back over the blanks before each occurrence
// visits every byte at most once: a run of blanks precedes one occurrence.
std::string scanForKey(std::string_view text, std::string_view key) {
  for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    const std::size_t blank = at + key.size();
    if (blank + 1 >= text.size() || text[blank] != ' ' || unicode::lineTerminatorLengthAt(text, blank + 1) > 0)
      continue;
    std::size_t lineStart = at;
    bool leadingBlanksOnly = true;
    while (lineStart > 0) {
      std::size_t previous = lineStart;
      const char32_t c = unicode::previousCodePoint(text, previous);
      if (unicode::isLineTerminator(c)) break;
      if (!unicode::isTrimSpace(c)) {
        leadingBlanksOnly = false;
        break;
      }
      lineStart = previous;
    }
    if (!leadingBlanksOnly) continue;
    const std::size_t lineEnd = unicode::findLineTerminator(text, blank + 1);
    return std::string(text.substr(blank + 1, lineEnd - blank - 1));
  }
  return {};
}

}  // namespace

std::string extractValueForKey(std::string_view text, std::string_view key) {
  std::optional<std::string> literal = literalKey(key);
  if (!literal) throw std::invalid_argument("the header key \"" + std::string(key) + "\" is not plain text");
  return scanForKey(text, *literal);
}

}  // namespace note2md::metadata
