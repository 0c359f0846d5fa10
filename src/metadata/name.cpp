#include "metadata/name.hpp"

#include <optional>

#include "unicode/services.hpp"
#include "unicode/utf8.hpp"

namespace note2md::metadata {
namespace {
constexpr std::size_t kPrefixCharacters = 100;
constexpr std::size_t kMinimumNameLength = 10;

bool isWanted(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'_' || c == U'-';
}

// Every code point other than A-Z, a-z, 0-9, "_" and "-" becomes one blank;
// the result is trimmed at both ends.
std::string filterUnwantedCharsFrom(std::string_view text) {
  std::string filtered;
  filtered.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = unicode::nextCodePoint(text, i);
    filtered += isWanted(c) ? static_cast<char>(c) : ' ';
  }
  return std::string(unicode::trim(filtered));
}

// The path from its last "/" (a whole character) to the end, slash included;
// nothing when it has no "/".
std::optional<std::string> extractFileName(std::string_view path) {
  std::optional<std::size_t> slash = unicode::findLastCharacter(path, "/");
  if (!slash) return std::nullopt;
  return std::string(path.substr(*slash));
}

}  // namespace

std::string createName(std::string_view text, std::string_view argument0) {
  std::string name = filterUnwantedCharsFrom(text.substr(0, unicode::graphemePrefixLength(text, kPrefixCharacters)));
  // Only ASCII is left, one byte per character.
  if (name.size() >= kMinimumNameLength) return name;
  return extractFileName(unicode::repairUtf8(argument0)).value_or(std::string());
}

}  // namespace note2md::metadata
