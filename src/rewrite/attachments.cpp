#include "platform/regex.hpp"
#include "rewrite/rewrite.hpp"

namespace note2md {
namespace {
constexpr std::string_view kAttachmentPattern = "xatch.*?:///Attachments/([^\\s]+)";
constexpr std::string_view kAttachmentTemplate = "[$1](/Attachments/$1)\n![$1](/Attachments/$1)";
}  // namespace

std::string translateAttachmentLinks(std::string_view text) {
  platform::Regex attachment(kAttachmentPattern, platform::Regex::anchorsMatchLines);
  return attachment.replaceAll(text, kAttachmentTemplate);
}

}  // namespace note2md
