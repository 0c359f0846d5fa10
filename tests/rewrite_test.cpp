// The five rewritings on the examples that pin down their edges.
#include <gtest/gtest.h>

#include "rewrite/rewrite.hpp"
#include "support/generator.hpp"

namespace note2md {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

std::string repeat(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

const std::string kEmoji = "\xF0\x9F\x98\x80";  // outside the BMP: one code point, two UTF-16 units
const std::string kAccented = "e\xCC\x81";      // two code points, one character

void expectAll(std::string (*rewrite)(std::string_view), const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(rewrite(c.input), c.expected) << "input " << testing::visible(c.input);
}

TEST(Headings, MarkTheFirstShortLineFollowedByABlankLine) {
  expectAll(markHeadingAndSubheadings,
            {
                {"Title\n\nbody\n", "# Title\n\nbody\n"},
                {"Title\n\n", "# Title\n\n"},
                {repeat("a", 100) + "\n\nbody", "# " + repeat("a", 100) + "\n\nbody"},
                {repeat("a", 101) + "\n\nbody", repeat("a", 101) + "\n\nbody"},
                {repeat("a", 99) + "     \n\nbody\n", "# " + repeat("a", 99) + "     \n\nbody\n"},
                {"Title \t\n\nbody\n", "# Title \t\n\nbody\n"},
                {"Title #1\n\nbody\n", "Title #1\n\nbody\n"},
                {"see x:///Attachments/a.png\n\nbody\n", "see x:///Attachments/a.png\n\nbody\n"},
                {"Attachment notes\n\nbody\n", "# Attachment notes\n\nbody\n"},
                {"Title\nbody\n", "Title\nbody\n"},
                {"Title\n", "Title\n"},
                {"Title", "Title"},
                {"Title\n   \nbody\n", "# Title\n   \nbody\n"},
                {"Title\n\t\nbody\n", "Title\n\t\nbody\n"},
                {"\n\n  Title\n\nbody\n", "\n\n  # Title\n\nbody\n"},
                {"\tTitle\n\nbody\n", "\t# Title\n\nbody\n"},
                {"  \nTitle\n\nbody\n", "  \n# Title\n\nbody\n"},
                {"\rTitle\n\nbody\n", "\r# Title\n\nbody\n"},
                {"\n\n\nSub\n\nbody", "\n\n\n# Sub\n\nbody"},
                {"\n\n\n\tSub\n\nbody", "\n\n\n\t# Sub\n\nbody"},
                {"Ti\vtle\n\nbody", "Ti\vtle\n\nbody"},
                {repeat(kEmoji, 100) + "\n\nx", "# " + repeat(kEmoji, 100) + "\n\nx"},
                {repeat(kEmoji, 101) + "\n\nx", repeat(kEmoji, 101) + "\n\nx"},
                {repeat(kAccented, 50) + "\n\nx", "# " + repeat(kAccented, 50) + "\n\nx"},
                {repeat(kAccented, 51) + "\n\nx", repeat(kAccented, 51) + "\n\nx"},
                {"", ""},
            });
}

TEST(Headings, NeverMarkALineOfWhiteSpace) {
  expectAll(markHeadingAndSubheadings,
            {
                {"  \n\nTitle\nbody\n", "  \n\nTitle\nbody\n"},
                {"   \n\n# Title\n\nbody\n", "   \n\n# Title\n\nbody\n"},
                {"\t\n\nTitle\nbody\n", "\t\n\nTitle\nbody\n"},
                {"  \n  \n  \nTitle\nbody\n", "  \n  \n  \nTitle\nbody\n"},
                {"Title\n\nbody\n\n\n  \n\nmore\n", "# Title\n\nbody\n\n\n  \n\nmore\n"},
                {"Title\n\nbody\n\n\n   \n   \n\nmore", "# Title\n\nbody\n\n\n   \n   \n\nmore"},
                {"Title\n\nbody\n\n\n\t\n\nmore", "# Title\n\nbody\n\n\n\t\n\nmore"},
                {"Title\n\nbody\n\n\n\xC2\xA0\n\nmore", "# Title\n\nbody\n\n\n\xC2\xA0\n\nmore"},
            });
}

TEST(Headings, MarkShortLinesWithTwoBlankLinesAboveAndOneBelow) {
  const std::string title = "Title\n\n";
  const std::string marked = "# Title\n\n";
  const std::vector<std::pair<std::string, std::string>> rests = {
      {"body\n\n\nSection\n\nmore", "body\n\n\n## Section\n\nmore"},
      {"body\n\nSection\n\nmore", "body\n\nSection\n\nmore"},
      {"body\n\n\nSection\nmore", "body\n\n\nSection\nmore"},
      {"body\n\n\nSection\n\n", "body\n\n\n## Section\n\n"},
      {"body\n\n\nSection\n", "body\n\n\nSection\n"},
      {"body\n\n\nSection\n  ", "body\n\n\nSection\n  "},
      {"body\n\n\n" + repeat("a", 100) + "\n\nx", "body\n\n\n## " + repeat("a", 100) + "\n\nx"},
      {"body\n\n\n" + repeat("a", 101) + "\n\nx", "body\n\n\n" + repeat("a", 101) + "\n\nx"},
      {"body\n\n\n" + repeat("a", 98) + "  \n\nx", "body\n\n\n## " + repeat("a", 98) + "  \n\nx"},
      {"body\n\n\n" + repeat("a", 99) + "  \n\nx", "body\n\n\n" + repeat("a", 99) + "  \n\nx"},
      {"body\n\n\n" + repeat(kEmoji, 100) + "\n\nx", "body\n\n\n## " + repeat(kEmoji, 100) + "\n\nx"},
      {"body\n\n\n" + repeat(kAccented, 51) + "\n\nx", "body\n\n\n" + repeat(kAccented, 51) + "\n\nx"},
      {"body\n\n\nA\n\n\nB\n\n\nC\n\nend", "body\n\n\n## A\n\n\n## B\n\n\n## C\n\nend"},
      {"body\n\n\nA\n\nB\n\nend", "body\n\n\n## A\n\nB\n\nend"},
      {"body\n  \n  \nSub\n\nx", "body\n  \n  \n## Sub\n\nx"},
      {"body\n\n\nSub\n   \nx", "body\n\n\n## Sub\n   \nx"},
      {"body\n\n\t\nSub\n\nx", "body\n\n\t\nSub\n\nx"},
      {"body\n\n\n   Sub\n\nx", "body\n\n\n   ## Sub\n\nx"},
      {"body\n\n\n\tSub\n\nx", "body\n\n\n## \tSub\n\nx"},
      {"body\n\n\nSub #2\n\nx", "body\n\n\nSub #2\n\nx"},
      {"body\n\n\nx:///Attachments/a.png\n\nx", "body\n\n\nx:///Attachments/a.png\n\nx"},
      {"body\n\n\nAttachment list\n\nx", "body\n\n\n## Attachment list\n\nx"},
      {"body\n\n  \n\nmore\n", "body\n\n  \n\nmore\n"},
      {"body\n\n\n\n\n\nmore", "body\n\n\n\n\n\nmore"},
      {"body\n\n\n  \n\n\nSub\n\nx", "body\n\n\n  \n\n\n## Sub\n\nx"},
      {"body\n\n\nS\xE2\x80\xA8ub\n\nx", "body\n\n\nS\xE2\x80\xA8ub\n\nx"},
  };
  for (const auto& [rest, expected] : rests) {
    EXPECT_EQ(markHeadingAndSubheadings(title + rest), marked + expected) << testing::visible(rest);
  }
  expectAll(markHeadingAndSubheadings,
            {
                {"Title\nCreated: x\n\n\nSection\n\nbody\n", "Title\nCreated: x\n\n\n## Section\n\nbody\n"},
                {"Title\r\n\r\nbody\r\n\r\n\r\nSection\r\n\r\nmore\r\n",
                 "Title\r\n\r\nbody\r\n\r\n\r\nSection\r\n\r\nmore\r\n"},
            });
  // Marked lines hold "#", so a second pass changes nothing.
  std::string once = markHeadingAndSubheadings("Title\n\nbody\n\n\nA\n\n\nB\n\nx");
  EXPECT_EQ(markHeadingAndSubheadings(once), once);
}

TEST(LineBreaks, EndShortLinesThatAreFollowedByAnotherLine) {
  expectAll(addTrailingSpaces,
            {
                {"Title\nl1\nl2\nl3\n\nx\n", "Title\nl1  \nl2  \nl3\n\nx\n"},
                {"l1\nl2\nl3\n", "l1\nl2  \nl3\n"},
                {"\nl1\nl2", "\nl1  \nl2"},
                {"T\n" + repeat("a", 100) + "\nnext\n", "T\n" + repeat("a", 100) + "  \nnext\n"},
                {"T\n" + repeat("a", 101) + "\nnext\n", "T\n" + repeat("a", 101) + "\nnext\n"},
                {"T\n" + repeat("a", 99) + " \nnext\n", "T\n" + repeat("a", 99) + "   \nnext\n"},
                {"T\n" + repeat("a", 100) + " \nnext\n", "T\n" + repeat("a", 100) + " \nnext\n"},
                {"T\nl1\n\nl3\n", "T\nl1\n\nl3\n"},
                {"T\nl1\n   \nl3\n", "T\nl1  \n     \nl3\n"},
                {"T\n\t\nx\n", "T\n\t  \nx\n"},
                {"T\nl1\nl2\n", "T\nl1  \nl2\n"},
                {"T\nl1\nl2", "T\nl1  \nl2"},
                {"T\nl1\n  ", "T\nl1  \n  "},
                {"T\nl1  \nl2\n", "T\nl1    \nl2\n"},
                {"T\rl1\rl2", "T\rl1\rl2"},
                {"T\nab\xE2\x80\xA8" "cd\nx", "T\nab\xE2\x80\xA8" "cd  \nx"},
                {"T\n" + repeat(kEmoji, 100) + "\nx", "T\n" + repeat(kEmoji, 100) + "  \nx"},
                {"T\n" + repeat(kEmoji, 101) + "\nx", "T\n" + repeat(kEmoji, 101) + "\nx"},
                {"T\n" + repeat(kAccented, 50) + "\nx", "T\n" + repeat(kAccented, 50) + "  \nx"},
                {"T\n" + repeat(kAccented, 51) + "\nx", "T\n" + repeat(kAccented, 51) + "\nx"},
                {"# Title\n\nl1\nl2\nl3\n\n\n## Sub\n\nm1\nm2\n", "# Title\n\nl1  \nl2  \nl3\n\n\n## Sub\n\nm1  \nm2\n"},
                {"x\n## Sub\n  \ny", "x\n## Sub  \n    \ny"},
                {"a\nb", "a\nb"},
                {"\n\n\n", "\n\n\n"},
                {"", ""},
            });
  EXPECT_EQ(addTrailingSpaces(addTrailingSpaces("T\nl1\nl2\n")), "T\nl1    \nl2\n");
}

TEST(LineBreaks, GoBeforeTheCarriageReturnOfAWindowsLineEnd) {
  expectAll(addTrailingSpaces,
            {
                {"T\r\nl1\r\nl2\r\n\r\nl3\r\n", "T\r\nl1  \r\nl2  \r\n  \r\nl3\r\n"},
                // The carriage return still counts towards the 100.
                {"T\r\n" + repeat("a", 99) + "\r\nx\r\n", "T\r\n" + repeat("a", 99) + "  \r\nx\r\n"},
                {"T\r\n" + repeat("a", 100) + "\r\nx\r\n", "T\r\n" + repeat("a", 100) + "\r\nx\r\n"},
                // Only a carriage return that ends the line moves the blanks.
                {"T\na\rb\nc", "T\na\rb  \nc"},
                {"T\na\r\r\nc", "T\na\r  \r\nc"},
            });
}

TEST(AttachmentLinks, BecomeALinkAndAnImage) {
  auto both = [](const std::string& name) {
    return "[" + name + "](/Attachments/" + name + ")\n![" + name + "](/Attachments/" + name + ")";
  };
  expectAll(translateAttachmentLinks,
            {
                {"see xatch:///Attachments/a.png now", "see " + both("a.png") + " now"},
                {"pre-xatch-1:///Attachments/a.png", "pre-" + both("a.png")},
                {"xatch:///Attachments/my photo.jpg", both("my") + " photo.jpg"},
                {"xatch:///Attachments/a.png.", both("a.png.")},
                {"(xatch:///Attachments/a.png)", "(" + both("a.png)")},
                {"xatch:///Attachments/a.png xatch:///Attachments/b.png", both("a.png") + " " + both("b.png")},
                {"xatch\n:///Attachments/a.png", "xatch\n:///Attachments/a.png"},
                {"xatch\r:///Attachments/a.png", "xatch\r:///Attachments/a.png"},
                {"XATCH:///Attachments/a", "XATCH:///Attachments/a"},
                {"Xatch:///Attachments/a", "Xatch:///Attachments/a"},
                {"xatch:///attachments/a", "xatch:///attachments/a"},
                {"xatch://Attachments/a", "xatch://Attachments/a"},
                {"xatch one xatch:///Attachments/a", both("a")},
                {"xatch:///Attachments/ x", "xatch:///Attachments/ x"},
                {"xatch:///Attachments/", "xatch:///Attachments/"},
                {"xatch:///Attachments/ :///Attachments/b", both("b")},
                {"xatch:///Attachments/$1\\[x]", both("$1\\[x]")},
                {"xatch:///Attachments/a.png  \nnext", both("a.png") + "  \nnext"},
                {"xatch:///Attachments/a\xE3\x80\x80" "b", both("a") + "\xE3\x80\x80" "b"},
                {"xatch:///Attachments/a\xE2\x80\x8B" "b", both("a\xE2\x80\x8B" "b")},
                {"", ""},
            });
}

TEST(Checkboxes, BecomeTaskMarkers) {
  expectAll(replaceCheckboxes,
            {
                {"\xE2\x98\x90 Buy milk", "[ ] Buy milk"},
                {"\xE2\x98\x92 Buy milk", "[x] Buy milk"},
                {"a\xE2\x98\x90" "b", "a[ ]b"},
                {"\xE2\x98\x90\xE2\x98\x90", "[ ][ ]"},
                {"\xE2\x98\x92\xE2\x98\x90", "[x][ ]"},
                {"\xE2\x98\x91 checked", "\xE2\x98\x91 checked"},
                {"no boxes", "no boxes"},
                {"", ""},
            });
}

TEST(WebLinks, BecomeMarkdownLinks) {
  expectAll(convertLinksToMarkdown,
            {
                {"see ftp://x/y now", "see [ftp://x/y](ftp://x/y) now"},
                {"ftp://x/y.", "[ftp://x/y.](ftp://x/y.)"},
                {"(ftp://x/y)", "([ftp://x/y)](ftp://x/y))"},
                {"[label](ftp://x/y)", "[label]([ftp://x/y)](ftp://x/y))"},
                {"HTTPS://X/Y", "[HTTPS://X/Y](HTTPS://X/Y)"},
                {"sftp://x/y", "s[ftp://x/y](ftp://x/y)"},
                {"ftp://a,ftp://b", "[ftp://a,ftp://b](ftp://a,ftp://b)"},
                {"ftp:// x", "ftp:// x"},
                {"a http://x\nb", "a [http://x](http://x)\nb"},
                {"http://a http://b", "[http://a](http://a) [http://b](http://b)"},
                {"http://a\xC2\xA0" "b", "[http://a](http://a)\xC2\xA0" "b"},
                {"hTtPs://a", "[hTtPs://a](hTtPs://a)"},
                {"http\xC5\xBF://a", "[http\xC5\xBF://a](http\xC5\xBF://a)"},  // long s is a case form of s
                {"https//x mailto:x www.x.org", "https//x mailto:x www.x.org"},
                {"", ""},
            });
  EXPECT_EQ(convertLinksToMarkdown(convertLinksToMarkdown("http://x")), "[[http://x](http://x)](http://x](http://x))");
}

}  // namespace
}  // namespace note2md
