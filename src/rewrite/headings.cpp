#include "platform/regex.hpp"
#include "rewrite/rewrite.hpp"

namespace note2md {
namespace {
// The heading text must hold something other than white space: otherwise the
// engine would give white space back from group 1 and mark an empty heading.
constexpr std::string_view kHeadingPattern =
    "(^\\s*)(?=\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:[ ]*\\n){2,})";
constexpr std::string_view kHeadingTemplate = "$1# $2$3";
constexpr std::string_view kSubheadingPattern =
    "((?:\\n *){3,})(?=[\\t\\p{Zs}]*\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:\\n *){2,})";
constexpr std::string_view kSubheadingTemplate = "$1## $2$3";
}  // namespace

std::string markHeadingAndSubheadings(std::string_view text) {
  platform::Regex heading(kHeadingPattern, platform::Regex::none);
  std::string marked = heading.replaceAll(text, kHeadingTemplate);
  platform::Regex subheading(kSubheadingPattern, platform::Regex::anchorsMatchLines);
  return subheading.replaceAll(marked, kSubheadingTemplate);
}

}  // namespace note2md
