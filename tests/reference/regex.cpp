#include "reference/regex.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

namespace note2md::reference {
namespace {

const char* reasonFor(UErrorCode status) {
  switch (status) {
    case U_REGEX_MISMATCHED_PAREN: return "unbalanced parenthesis";
    case U_REGEX_MISSING_CLOSE_BRACKET: return "missing closing bracket";
    case U_REGEX_RULE_SYNTAX: return "syntax error";
    case U_REGEX_BAD_ESCAPE_SEQUENCE: return "unrecognised backslash escape";
    case U_REGEX_BAD_INTERVAL: return "malformed {min,max} repetition";
    case U_REGEX_MAX_LT_MIN: return "repetition maximum below its minimum";
    case U_REGEX_INVALID_BACK_REF: return "back reference to a group that does not exist";
    case U_REGEX_INVALID_RANGE: return "character range out of order";
    case U_REGEX_INVALID_FLAG: return "invalid flag";
    case U_REGEX_LOOK_BEHIND_LIMIT: return "look-behind without a bounded length";
    case U_REGEX_NUMBER_TOO_BIG: return "number too large";
    case U_REGEX_PROPERTY_SYNTAX: return "malformed Unicode property";
    case U_REGEX_SET_CONTAINS_STRING: return "character class containing a string";
    case U_REGEX_PATTERN_TOO_BIG: return "pattern too large";
    case U_REGEX_STACK_OVERFLOW: return "backtracking stack exhausted";
    case U_REGEX_TIME_OUT: return "match took too long";
    case U_MEMORY_ALLOCATION_ERROR: return "out of memory";
    default: return u_errorName(status);
  }
}

icu::UnicodeString utf16(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace

Regex::Regex(std::string_view pattern, uint32_t options) : source_(pattern) {
  uint32_t flags = 0;
  if (options & caseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
  if (options & anchorsMatchLines) flags |= UREGEX_MULTILINE;
  UErrorCode status = U_ZERO_ERROR;
  UParseError where{};
  pattern_.reset(icu::RegexPattern::compile(utf16(pattern), flags, where, status));
  if (U_FAILURE(status)) {
    pattern_.reset();
    std::string message = "invalid regular expression \"" + source_ + "\": " + reasonFor(status);
    if (where.offset >= 0) message += " at offset " + std::to_string(where.offset);
    throw RegexError(message);
  }
}

Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;
Regex::~Regex() = default;

namespace {
// A matcher over `input` whose backtracking is bounded by memory alone: the
// engine's default stack limit would abandon long notes half way.
std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::RegexPattern& pattern, const icu::UnicodeString& input,
                                              const std::string& source) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
  if (U_SUCCESS(status)) matcher->setStackLimit(0, status);
  if (U_FAILURE(status)) throw RegexError("regular expression \"" + source + "\" failed: " + reasonFor(status));
  return matcher;
}
}  // namespace

std::string Regex::replaceAll(std::string_view text, std::string_view replacementTemplate) const {
  icu::UnicodeString input = utf16(text);
  auto matcher = matcherFor(*pattern_, input, source_);
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString result = matcher->replaceAll(utf16(replacementTemplate), status);
  if (U_FAILURE(status)) throw RegexError("regular expression \"" + source_ + "\" failed: " + reasonFor(status));
  return utf8(result);
}

std::optional<std::string> Regex::firstMatchGroup(std::string_view text, int group) const {
  icu::UnicodeString input = utf16(text);
  auto matcher = matcherFor(*pattern_, input, source_);
  UErrorCode status = U_ZERO_ERROR;
  bool found = matcher->find(0, status);
  int32_t start = found ? matcher->start(group, status) : -1;
  int32_t end = found ? matcher->end(group, status) : -1;
  if (U_FAILURE(status)) throw RegexError("regular expression \"" + source_ + "\" failed: " + reasonFor(status));
  if (!found || start < 0) return std::nullopt;
  return utf8(input.tempSubStringBetween(start, end));
}

}  // namespace note2md::reference
