// H. What the rewriting gives is defined by two patterns, applied one after the
// other with ICU semantics; the scans below give exactly their results in
// linear time, where the engine backtracks quadratically over blank lines.
//
//   heading:    "(^\s*)(?=\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:[ ]*\n){2,})"  -> "$1# $2$3"
//   subheading: "((?:\n *){3,})(?=[\t\p{Zs}]*\S)((?!.*(#|:///Attachment)).{1,100})(?=(?:\n *){2,})"
//               -> "$1## $2$3", over the result of the heading pass.
//
// "." stops at every line terminator (LF, VT, FF, CR, NEL, LS, PS), "\s" is
// White_Space, and repetition counts code points.
#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"
#include "unicode/utf8.hpp"

namespace note2md::rewrite {
namespace {

using unicode::findLineTerminator;
using unicode::hasAtMostCodePoints;

constexpr std::size_t kMaxHeadingLength = 100;

// The guard "(?!.*(#|:///Attachment))": the rest of the line holds neither.
bool isExcluded(std::string_view restOfLine) {
  return restOfLine.find('#') != std::string_view::npos || restOfLine.find(":///Attachment") != std::string_view::npos;
}

// Whether the text at i is blanks and then a line feed: "[ ]*\n" or "\n *"
// read from just after the first line feed.
bool blankLineAt(std::string_view text, std::size_t i) {
  while (i < text.size() && text[i] == ' ') ++i;
  return i < text.size() && text[i] == '\n';
}

// Where "# " goes, or npos. The heading text starts at the first character
// that is not white space; it must be the line's content up to trailing
// blanks, at most 100 code points, ended by a line feed and followed by a
// blank line ended by a line feed.
std::size_t headingPosition(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && unicode::isWhiteSpaceAt(text, start)) unicode::nextCodePoint(text, start);
  if (start == text.size()) return std::string_view::npos;
  std::size_t end = findLineTerminator(text, start);
  if (end == text.size() || text[end] != '\n') return std::string_view::npos;
  std::string_view line = text.substr(start, end - start);
  if (isExcluded(line)) return std::string_view::npos;
  std::string_view content = line.substr(0, line.find_last_not_of(' ') + 1);
  if (!hasAtMostCodePoints(content, kMaxHeadingLength)) return std::string_view::npos;
  return blankLineAt(text, end + 1) ? start : std::string_view::npos;
}

// Whether "## " goes at `start`, the first character after a run of at least
// three line feeds each followed by blanks. Giving characters back to that
// run never helps: what it gives back is blanks and line feeds, from which
// "[\t\p{Zs}]*\S" cannot reach anything other than white space.
bool isSubheadingAt(std::string_view text, std::size_t start) {
  std::size_t first = unicode::skipTrimSpace(text, start);
  if (first == text.size() || unicode::isWhiteSpaceAt(text, first)) return false;
  std::size_t end = findLineTerminator(text, start);
  if (end == text.size() || text[end] != '\n') return false;
  std::string_view line = text.substr(start, end - start);
  return !isExcluded(line) && hasAtMostCodePoints(line, kMaxHeadingLength) && blankLineAt(text, end + 1);
}

// Both passes in one: the heading pass inserts "# " at `heading`, which
// changes nothing for the subheading pass except that the heading line then
// holds "#" and so is not a subheading. Every other line, and every run of
// line feeds and blanks, is the same in the text with and without it.
bool markHeadings(system::Buffer& buffer, std::size_t heading, system::Buffer& out) {
  const std::string_view text = buffer.view();
  rewrite::Splice splice(buffer, out, text.size() / 64 + 16);
  if (heading != std::string_view::npos) splice.insert(heading).append("# ");
  std::size_t position = text.find('\n');
  while (position != std::string_view::npos) {
    // The run "(?:\n *)+" from its first line feed, taken as far as it goes;
    // starting at a later line feed of the same run only shortens it.
    std::size_t lineFeeds = 0;
    std::size_t end = position;
    while (end < text.size() && text[end] == '\n') {
      ++lineFeeds;
      ++end;
      while (end < text.size() && text[end] == ' ') ++end;
    }
    // Everything before the heading is white space, so a candidate line that
    // starts there is the heading's own line or holds no heading text.
    const bool beforeHeading = heading != std::string_view::npos && end <= heading;
    if (lineFeeds >= 3 && !beforeHeading && isSubheadingAt(text, end)) splice.insert(end).append("## ");
    position = text.find('\n', end);
  }
  return splice.finish();
}

}  // namespace

bool markHeadingAndSubheadings(system::Buffer& text, system::Buffer& out) {
  return markHeadings(text, headingPosition(text), out);
}

}  // namespace note2md::rewrite
