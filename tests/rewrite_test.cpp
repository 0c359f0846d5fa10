// The five rewritings on the examples that pin down their edges. The
// differential test checks the scans against the patterns on generated
// texts; these check that the patterns, as corrected, do what a user expects.
#include <gtest/gtest.h>

#include "rewrite/rewrite.hpp"
#include "rewrite/splice.hpp"
#include "support/generator.hpp"
#include "support/notes.hpp"
#include "support/rewrite_text.hpp"

namespace note2md::rewrite {
namespace {

using testing::repeat;
using testing::addTrailingSpaces;
using testing::convertLinksToMarkdown;
using testing::markHeadingAndSubheadings;
using testing::replaceCheckboxes;
using testing::translateAttachmentLinks;

struct Case {
  std::string input;
  std::string expected;
};

const std::string kEmoji = "\xF0\x9F\x98\x80";  // one code point, two UTF-16 units
const std::string kAccented = "e\xCC\x81";      // two code points, one character

void expectAll(std::string (*rewrite)(std::string_view), const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(rewrite(c.input), c.expected) << "input " << testing::visible(c.input);
}

TEST(Headings, MarkTheTitleAndSectionsButNeverWhiteSpace) {
  expectAll(markHeadingAndSubheadings,
            {
                {"Title\n\nbody\n\n\nSection\n\nmore", "# Title\n\nbody\n\n\n## Section\n\nmore"},
                {"\n\n  Title\n\nbody\n", "\n\n  # Title\n\nbody\n"},
                {"\n\n\n\tSub\n\nbody", "\n\n\n\t# Sub\n\nbody"},  // the title, not also a section
                {"Title\nbody\n\n\n\tSub\n\nx", "Title\nbody\n\n\n## \tSub\n\nx"},
                {repeat("a", 99) + "     \n\nbody\n", "# " + repeat("a", 99) + "     \n\nbody\n"},
                {repeat(kEmoji, 100) + "\n\nx", "# " + repeat(kEmoji, 100) + "\n\nx"},
                {repeat(kAccented, 51) + "\n\nx", repeat(kAccented, 51) + "\n\nx"},
                {"Title #1\n\nbody\n", "Title #1\n\nbody\n"},
                {"Title\n\t\nbody\n", "Title\n\t\nbody\n"},
                {"Title\nbody\n\n\nSub\n\nA\n\n\nx:///Attachments/a.png\n\nx",
                 "Title\nbody\n\n\n## Sub\n\nA\n\n\nx:///Attachments/a.png\n\nx"},
                {"T\nx\n\n\n" + repeat("a", 99) + "  \n\nx", "T\nx\n\n\n" + repeat("a", 99) + "  \n\nx"},
                {"Title\r\n\r\nbody\r\n\r\n\r\nSection\r\n\r\n", "Title\r\n\r\nbody\r\n\r\n\r\nSection\r\n\r\n"},
                // Lines of white space are never headings.
                {"  \n\nTitle\nbody\n", "  \n\nTitle\nbody\n"},
                {"\t\n\nTitle\nbody\n", "\t\n\nTitle\nbody\n"},
                {"Title\n\nbody\n\n\n   \n   \n\nmore", "# Title\n\nbody\n\n\n   \n   \n\nmore"},
                {"Title\n\nbody\n\n\n\xC2\xA0\n\nmore", "# Title\n\nbody\n\n\n\xC2\xA0\n\nmore"},
                {"", ""},
            });
}

TEST(LineBreaks, EndShortLinesThatAreFollowedByAnotherLine) {
  expectAll(addTrailingSpaces,
            {
                {"Title\nl1\nl2\nl3\n\nx\n", "Title\nl1  \nl2  \nl3\n\nx\n"},
                {"T\n" + repeat("a", 100) + "\nnext\n", "T\n" + repeat("a", 100) + "  \nnext\n"},
                {"T\n" + repeat("a", 100) + " \nnext\n", "T\n" + repeat("a", 100) + " \nnext\n"},
                {"T\n" + repeat(kAccented, 51) + "\nx", "T\n" + repeat(kAccented, 51) + "\nx"},
                {"T\nl1\n   \nl3\n", "T\nl1  \n     \nl3\n"},
                {"T\nab\xE2\x80\xA8" "cd\nx", "T\nab\xE2\x80\xA8" "cd  \nx"},
                {"T\rl1\rl2", "T\rl1\rl2"},
                // Before a carriage return that ends the line, which still counts.
                {"T\r\nl1\r\nl2\r\n\r\nl3\r\n", "T\r\nl1  \r\nl2  \r\n  \r\nl3\r\n"},
                {"T\r\n" + repeat("a", 99) + "\r\nx\r\n", "T\r\n" + repeat("a", 99) + "  \r\nx\r\n"},
                {"T\r\n" + repeat("a", 100) + "\r\nx\r\n", "T\r\n" + repeat("a", 100) + "\r\nx\r\n"},
                {"T\na\rb\nc", "T\na\rb  \nc"},
                {"", ""},
            });
}

TEST(AttachmentLinks, BecomeALinkAndAnImage) {
  auto both = [](const std::string& name) {
    return "[" + name + "](/Attachments/" + name + ")\n![" + name + "](/Attachments/" + name + ")";
  };
  expectAll(translateAttachmentLinks,
            {
                {"see xatch:///Attachments/a.png now", std::string("see ").append(both("a.png")).append(" now")},
                {"(xatch:///Attachments/a.png)", std::string("(").append(both("a.png)"))},
                {"xatch one xatch:///Attachments/a", both("a")},
                {"xatch:///Attachments/ :///Attachments/b", both("b")},
                {"xatch:///Attachments/a.png  \nnext", both("a.png") + "  \nnext"},
                {"xatch\n:///Attachments/a.png", "xatch\n:///Attachments/a.png"},
                {"XATCH:///Attachments/a", "XATCH:///Attachments/a"},
            });
}

TEST(Checkboxes, BecomeTaskMarkers) {
  expectAll(replaceCheckboxes, {
                                   {"\xE2\x98\x90 a\xE2\x98\x92\xE2\x98\x90", "[ ] a[x][ ]"},
                                   {"\xE2\x98\x91 checked", "\xE2\x98\x91 checked"},
                               });
}

TEST(WebLinks, BecomeMarkdownLinks) {
  expectAll(convertLinksToMarkdown,
            {
                {"see ftp://x/y. now", "see [ftp://x/y.](ftp://x/y.) now"},
                {"sftp://x/y", "s[ftp://x/y](ftp://x/y)"},
                {"HTTPS://a,http://b\nc", "[HTTPS://a,http://b](HTTPS://a,http://b)\nc"},
                {"http\xC5\xBF://a", "[http\xC5\xBF://a](http\xC5\xBF://a)"},  // long s is a case form of s
                {"ftp:// x mailto:x", "ftp:// x mailto:x"},
            });
}

TEST(Splice, StopsAtAPositionThatGoesBackInDebugBuilds) {
#ifdef NDEBUG
  GTEST_SKIP() << "preconditions are checked in debug builds only";
#else
  system::Buffer text("abcdef");
  system::Buffer out;
  Splice splice(text, out, 0);
  splice.replace(3, 4).append("x");
  EXPECT_DEATH(splice.replace(1, 2), "copied_ <= from");
#endif
}

}  // namespace
}  // namespace note2md::rewrite
