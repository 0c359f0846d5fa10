#include "support/rewrite_text.hpp"

#include "cli/error_line.hpp"
#include "rewrite/rewrite.hpp"
#include "system/failure.hpp"
#include "unicode/decode.hpp"

namespace note2md::support {

std::string rewritten(Rewrite rewrite, std::string_view text) {
  system::Buffer in(text);
  system::Buffer out;
  return std::string((rewrite(in, out) ? out : in).view());
}

std::string markHeadingAndSubheadings(std::string_view text) {
  return rewritten(rewrite::markHeadingAndSubheadings, text);
}
std::string addTrailingSpaces(std::string_view text) { return rewritten(rewrite::addTrailingSpaces, text); }
std::string translateAttachmentLinks(std::string_view text) {
  return rewritten(rewrite::translateAttachmentLinks, text);
}
std::string replaceCheckboxes(std::string_view text) { return rewritten(rewrite::replaceCheckboxes, text); }
std::string convertLinksToMarkdown(std::string_view text) { return rewritten(rewrite::convertLinksToMarkdown, text); }

DecodedText decodeText(std::string_view bytes) {
  system::Buffer buffer(bytes);
  DecodedText result;
  try {
    unicode::decodeNote(buffer);
    result.ok = true;
    result.text.assign(buffer.view());
  } catch (const system::Failure& failure) {
    result.problem = cli::describe(failure);
  }
  return result;
}

}  // namespace note2md::support
