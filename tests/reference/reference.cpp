#include "reference/reference.hpp"

#include <optional>

#include "reference/regex.hpp"
#include "unicode/services.hpp"
#include "unicode/utf8.hpp"

namespace note2md::reference {
namespace {


std::string replace(std::string_view text, std::string_view pattern, uint32_t options,
                    std::string_view replacementTemplate) {
  return Regex(pattern, options).replaceAll(text, replacementTemplate);
}

}  // namespace

std::string extractValueForKey(std::string_view text, std::string_view key) {
  std::string pattern = "^\\s*";
  pattern.append(key).append(" (.+)$");
  return Regex(pattern, Regex::anchorsMatchLines).firstMatchGroup(text, 1).value_or(std::string());
}

std::string filterUnwantedCharsFrom(std::string_view text) {
  return std::string(unicode::trim(replace(text, "[^A-Za-z0-9_-]", Regex::none, " ")));
}

std::string createName(std::string_view text, std::string_view argument0) {
  std::string name = filterUnwantedCharsFrom(text.substr(0, unicode::graphemePrefixLength(text, 100)));
  if (name.size() >= 10) return name;
  std::string path = unicode::repairUtf8(argument0);
  std::optional<std::size_t> slash = unicode::findLastCharacter(path, "/");
  return slash ? path.substr(*slash) : std::string();
}

std::string markHeadingAndSubheadings(std::string_view text) {
  std::string marked = replace(text, "(^\\s*)(?=\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:[ ]*\\n){2,})",
                               Regex::none, "$1# $2$3");
  return replace(marked,
                 "((?:\\n *){3,})(?=[\\t\\p{Zs}]*\\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:\\n *){2,})",
                 Regex::anchorsMatchLines, "$1## $2$3");
}

std::string addTrailingSpaces(std::string_view text) {
  // The look-ahead selects the same lines as the uncorrected pattern; the two
  // groups put the blanks before a final carriage return.
  return replace(text, "(?<=\\n)(?=[^\\n]{1,100}\\n[^\\n])([^\\n]*?)(\\r?)(?=\\n)", Regex::none, "$1  $2");
}

std::string addTrailingSpacesUncorrected(std::string_view text) {
  return replace(text, "(?<=\\n)([^\\n]{1,100})(?=\\n[^\\n])", Regex::none, "$1  ");
}

std::string translateAttachmentLinks(std::string_view text) {
  return replace(text, "xatch.*?:///Attachments/([^\\s]+)", Regex::anchorsMatchLines,
                 "[$1](/Attachments/$1)\n![$1](/Attachments/$1)");
}

std::string replaceCheckboxes(std::string_view text) {
  return replace(replace(text, "\u2610", Regex::none, "[ ]"), "\u2612", Regex::none, "[x]");
}

std::string convertLinksToMarkdown(std::string_view text) {
  return replace(text, "((https?|ftp)://\\S+)", Regex::caseInsensitive, "[$1]($1)");
}

}  // namespace note2md::reference
