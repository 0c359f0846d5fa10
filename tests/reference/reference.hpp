// The program's operations as their patterns state them, run through the
// regular-expression engine. The scans in src/ must give the same results;
// the benchmarks use these as the straightforward pipeline to compare with.
#pragma once

#include <string>
#include <string_view>

namespace note2md::reference {

// "^\s*" KEY " (.+)$" with anchors matching at lines; group 1 of the first match.
std::string extractValueForKey(std::string_view text, std::string_view key);

// "[^A-Za-z0-9_-]" replaced by " ", then trimmed.
std::string filterUnwantedCharsFrom(std::string_view text);
std::string createName(std::string_view text, std::string_view argument0);

// Headings with heading text that holds something other than white space.
std::string markHeadingAndSubheadings(std::string_view text);
// Line breaks with the blanks placed before a line-final carriage return.
std::string addTrailingSpaces(std::string_view text);
std::string translateAttachmentLinks(std::string_view text);
std::string replaceCheckboxes(std::string_view text);
std::string convertLinksToMarkdown(std::string_view text);

}  // namespace note2md::reference
