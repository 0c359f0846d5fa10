#include "metadata/header.hpp"

#include <cctype>
#include <optional>

#include "platform/regex.hpp"
#include "platform/text.hpp"

namespace note2md::metadata {
namespace {

// The text a key stands for when it is a plain literal once its backslash
// escapes are read; nothing when it uses any other pattern syntax. Keys with
// white space are left to the engine too, since "\s*" could then share
// characters with them.
std::optional<std::string> literalKey(std::string_view key) {
  static constexpr std::string_view kSyntax = "\\^$.|?*+()[]{}";
  std::string literal;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char c = key[i];
    if (c == '\\') {
      if (i + 1 == key.size()) return std::nullopt;
      char escaped = key[++i];
      // "\(" is a literal parenthesis; "\s", "\d", "\Q" and the like are not literals.
      bool punctuation = static_cast<unsigned char>(escaped) < 0x80 && !std::isalnum(static_cast<unsigned char>(escaped)) &&
                         escaped > ' ' && escaped != 0x7F;
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
    if (platform::isWhiteSpace(platform::nextCodePoint(literal, i))) return std::nullopt;
  }
  return literal;
}

// Line by line, the pattern's result in linear time. "^\s*" can only let the
// key start where a line's leading tabs and space separators end (the other
// white space characters end lines), and "(.+)$" takes the rest of that line.
std::string scanForKey(std::string_view text, std::string_view key) {
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t i = platform::skipTrimSpace(text, lineStart);
    std::size_t lineEnd = platform::findLineTerminator(text, i);
    std::size_t valueStart = i + key.size() + 1;
    if (valueStart < lineEnd && text.compare(i, key.size(), key) == 0 && text[i + key.size()] == ' ') {
      return std::string(text.substr(valueStart, lineEnd - valueStart));
    }
    if (lineEnd == text.size()) break;
    lineStart = lineEnd + platform::lineTerminatorLengthAt(text, lineEnd);
  }
  return {};
}

}  // namespace

std::string extractValueForKey(std::string_view text, std::string_view key) {
  if (auto literal = literalKey(key)) return scanForKey(text, *literal);
  std::string pattern = "^\\s*";
  pattern.append(key).append(" (.+)$");
  platform::Regex expression(pattern, platform::Regex::anchorsMatchLines);
  return expression.firstMatchGroup(text, 1).value_or(std::string());
}

}  // namespace note2md::metadata
