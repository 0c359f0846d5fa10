// A. Contract, with ICU semantics: "xatch.*?:///Attachments/([^\s]+)" ->
// "[$1](/Attachments/$1)" LF "![$1](/Attachments/$1)".
//
// A match starts at the leftmost "xatch" from which, on the same line (".*?"
// stops at every line terminator), some ":///Attachments/" is followed by a
// character that is not white space; the lazy ".*?" takes the first such one,
// and the name runs to the next white space. The engine retries every "xatch"
// against the rest of its line, which is quadratic; the scan below looks at
// each byte a bounded number of times.
#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"
#include "unicode/utf8.hpp"

namespace note2md::rewrite {
namespace {

constexpr std::string_view kStart = "xatch";
constexpr std::string_view kAnchor = ":///Attachments/";
constexpr std::size_t npos = std::string_view::npos;

// First ":///Attachments/" at or after a position, remembering the last
// answer: positions asked for only grow, so the text is searched once.
class AnchorFinder {
 public:
  explicit AnchorFinder(std::string_view text) : text_(text) {}
  std::size_t from(std::size_t position) {
    if (!searched_ || (found_ != npos && found_ < position)) {
      found_ = text_.find(kAnchor, position);
      searched_ = true;
    }
    return found_;
  }

 private:
  std::string_view text_;
  std::size_t found_ = npos;
  bool searched_ = false;
};

void appendLinkAndImage(system::Buffer& out, std::string_view name) {
  out.append("[").append(name).append("](/Attachments/").append(name).append(")\n");
  out.append("![").append(name).append("](/Attachments/").append(name).append(")");
}

}  // namespace

bool translateAttachmentLinks(system::Buffer& buffer, system::Buffer& out) {
  const std::string_view text = buffer.view();
  rewrite::Splice splice(buffer, out, text.size() / 8 + 64);
  AnchorFinder anchors(text);
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t start = text.find(kStart, position);
    if (start == npos) break;
    // Anchors are tried in order; the stretch up to each must hold no line
    // terminator. `clear` is how far that has been checked.
    std::size_t clear = start + kStart.size();
    std::size_t anchor = clear;
    std::size_t next = npos;  // where the search goes on when this "xatch" fails
    for (;;) {
      anchor = anchors.from(anchor);
      const std::size_t limit = anchor == npos ? text.size() : anchor;
      // The first line terminator between the last anchor checked and this one.
      const std::size_t terminator = unicode::findLineTerminator(text.substr(0, limit), clear);
      if (terminator < limit) {
        // No "xatch" before this line end can match: its anchors all lack a name.
        next = terminator;
        break;
      }
      if (anchor == npos) {
        next = text.size();
        break;
      }
      clear = anchor;
      const std::size_t nameStart = anchor + kAnchor.size();
      const std::size_t nameEnd = unicode::skipNonWhiteSpace(text, nameStart);
      if (nameEnd > nameStart) {
        appendLinkAndImage(splice.replace(start, nameEnd), text.substr(nameStart, nameEnd - nameStart));
        next = nameEnd;
        break;
      }
      ++anchor;
    }
    position = next;
  }
  return splice.finish();
}

}  // namespace note2md::rewrite
