#include "reference/reference.hpp"

#include <memory>
#include <optional>
#include <stdexcept>

#include <unicode/regex.h>

#include "unicode/services.hpp"
#include "unicode/utf8.hpp"

namespace note2md::reference {
namespace {

constexpr uint32_t kNone = 0, kCaseInsensitive = UREGEX_CASE_INSENSITIVE, kAnchorsMatchLines = UREGEX_MULTILINE;

icu::UnicodeString utf16(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

void check(UErrorCode status, std::string_view pattern) {
  if (U_FAILURE(status)) throw std::runtime_error("pattern " + std::string(pattern) + ": " + u_errorName(status));
}

// A matcher over `input` whose backtracking is bounded by memory alone: the
// engine's default stack limit would abandon long notes half way.
std::unique_ptr<icu::RegexMatcher> matcher(std::string_view pattern, uint32_t flags, const icu::UnicodeString& input) {
  UErrorCode status = U_ZERO_ERROR;
  auto matcher = std::make_unique<icu::RegexMatcher>(utf16(pattern), input, flags, status);
  if (U_SUCCESS(status)) matcher->setStackLimit(0, status);
  check(status, pattern);
  return matcher;
}

// Every match replaced by the template ("$n": group n, empty when it took no part).
std::string replace(std::string_view text, std::string_view pattern, uint32_t flags, std::string_view replacement) {
  const icu::UnicodeString input = utf16(text);
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString result = matcher(pattern, flags, input)->replaceAll(utf16(replacement), status);
  check(status, pattern);
  return utf8(result);
}

}  // namespace

std::string extractValueForKey(std::string_view text, std::string_view key) {
  const std::string pattern = "^\\s*" + std::string(key) + " (.+)$";
  const icu::UnicodeString input = utf16(text);
  auto found = matcher(pattern, kAnchorsMatchLines, input);
  UErrorCode status = U_ZERO_ERROR;
  const bool match = found->find(0, status);
  const int32_t start = match ? found->start(1, status) : -1, end = match ? found->end(1, status) : -1;
  check(status, pattern);
  return start < 0 ? std::string() : utf8(input.tempSubStringBetween(start, end));
}

std::string filterUnwantedCharsFrom(std::string_view text) {
  return std::string(unicode::trim(replace(text, "[^A-Za-z0-9_-]", kNone, " ")));
}

std::string createName(std::string_view text, std::string_view argument0) {
  std::string name = filterUnwantedCharsFrom(text.substr(0, unicode::graphemePrefixLength(text, 100)));
  if (name.size() >= 10) return name;
  std::string path = unicode::repairUtf8(argument0);
  std::optional<std::size_t> slash = unicode::findLastCharacter(path, "/");
  return slash ? path.substr(*slash) : std::string();
}

std::string markHeadingAndSubheadings(std::string_view text) {
  std::string marked =
      replace(text, "(^\\s*)(?=\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:[ ]*\\n){2,})", kNone, "$1# $2$3");
  return replace(marked, "((?:\\n *){3,})(?=[\\t\\p{Zs}]*\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:\\n *){2,})",
                 kAnchorsMatchLines, "$1## $2$3");
}

std::string addTrailingSpaces(std::string_view text) {
  // The look-ahead selects the same lines as the uncorrected pattern; the two
  // groups put the blanks before a final carriage return.
  return replace(text, "(?<=\\n)(?=[^\\n]{1,100}\\n[^\\n])([^\\n]*?)(\\r?)(?=\\n)", kNone, "$1  $2");
}

std::string translateAttachmentLinks(std::string_view text) {
  return replace(text, "xatch.*?:///Attachments/([^\\s]+)", kAnchorsMatchLines,
                 "[$1](/Attachments/$1)\n![$1](/Attachments/$1)");
}

std::string replaceCheckboxes(std::string_view text) {
  return replace(replace(text, "\u2610", kNone, "[ ]"), "\u2612", kNone, "[x]");
}

std::string convertLinksToMarkdown(std::string_view text) {
  return replace(text, "((https?|ftp)://\\S+)", kCaseInsensitive, "[$1]($1)");
}

}  // namespace note2md::reference
