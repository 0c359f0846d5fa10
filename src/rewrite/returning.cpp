// The forms of the rewritings that return a new text.
#include "rewrite/rewrite.hpp"

namespace note2md::rewrite {
namespace {
std::string collect(bool (*rewrite)(platform::Buffer&, platform::Buffer&), std::string_view text) {
  platform::Buffer in(text);
  platform::Buffer out;
  return std::string((rewrite(in, out) ? out : in).view());
}
}  // namespace

std::string markHeadingAndSubheadings(std::string_view text) { return collect(into::markHeadingAndSubheadings, text); }
std::string addTrailingSpaces(std::string_view text) { return collect(into::addTrailingSpaces, text); }
std::string translateAttachmentLinks(std::string_view text) { return collect(into::translateAttachmentLinks, text); }
std::string replaceCheckboxes(std::string_view text) { return collect(into::replaceCheckboxes, text); }
std::string convertLinksToMarkdown(std::string_view text) { return collect(into::convertLinksToMarkdown, text); }

}  // namespace note2md::rewrite
