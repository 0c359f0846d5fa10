// Regular expressions with ICU's pattern and template syntax, over UTF-8
// text: the engine that the program's scans are checked against.
// Matching works on UTF-16 internally, as the engine does, so repetition
// counts code points and every class has ICU's exact meaning.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace note2md::reference {

// A pattern that does not compile, or a match that the engine gave up on.
class RegexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Regex {
 public:
  enum Option : uint32_t {
    none = 0,
    caseInsensitive = 1u << 0,
    anchorsMatchLines = 1u << 4,  // "^" and "$" also at every line boundary
  };

  // Throws RegexError with a readable description when the pattern is invalid.
  Regex(std::string_view pattern, uint32_t options);
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  ~Regex();

  // Every non-overlapping match, left to right, replaced by the template
  // ("$n" is group n's text, empty when the group took no part).
  std::string replaceAll(std::string_view text, std::string_view replacementTemplate) const;

  // The text of `group` in the first match; nothing when there is no match
  // or the group took no part in it.
  std::optional<std::string> firstMatchGroup(std::string_view text, int group) const;

 private:
  std::string source_;
  std::unique_ptr<icu::RegexPattern> pattern_;
};

}  // namespace note2md::reference
