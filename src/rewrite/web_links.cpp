#include <optional>

#include "platform/regex.hpp"
#include "rewrite/rewrite.hpp"

namespace note2md {
namespace {
constexpr std::string_view kLinkPattern = "((https?|ftp)://\\S+)";
constexpr std::string_view kLinkTemplate = "[$1]($1)";
}  // namespace

std::string convertLinksToMarkdown(std::string_view text) {
  std::optional<platform::Regex> link;
  try {
    link.emplace(kLinkPattern, platform::Regex::caseInsensitive);
  } catch (const platform::RegexError&) {
    // Links are a convenience: a pattern that will not compile leaves the text as it is.
    return std::string(text);
  }
  return link->replaceAll(text, kLinkTemplate);
}

}  // namespace note2md
