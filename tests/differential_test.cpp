// Every scan must give what its pattern gives through the regex engine, on
// many generated texts built from the pieces each pattern cares about.
// NOTE2MD_DIFFERENTIAL_ROUNDS raises the number of texts for a longer run.
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "platform/text.hpp"
#include "reference/reference.hpp"
#include "rewrite/rewrite.hpp"
#include "support/generator.hpp"

namespace note2md {
namespace {

int rounds() {
  const char* configured = std::getenv("NOTE2MD_DIFFERENTIAL_ROUNDS");
  return configured != nullptr ? std::atoi(configured) : 3000;
}

std::string repeat(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

// Pieces that every pattern cares about: all kinds of line ends and white
// space, characters of several sizes, and runs close to the 100 limit.
std::vector<std::string> commonPieces() {
  return {"\n", "\n", "\n", "\n\n\n", "\r\n", "\r", " ", " ", "  ", "\t", "\xC2\xA0", "\xE3\x80\x80",
          "\xE2\x80\xA8", "\xE2\x80\xA9", "\v", "\f", "\xC2\x85", "a", "word", "Title", "#", "\xC5\xBF",
          "\xF0\x9F\x98\x80", "e\xCC\x81", "\xE2\x98\x90", "\xE2\x98\x92", "\xE2\x80\x8B",
          repeat("a", 98), repeat("a", 100), repeat("b", 101), repeat("\xF0\x9F\x98\x80", 99), repeat(" ", 3)};
}

std::vector<std::string> with(std::vector<std::string> pieces, const std::vector<std::string>& more) {
  pieces.insert(pieces.end(), more.begin(), more.end());
  return pieces;
}

using Rewrite = std::string (*)(std::string_view);

void expectSameAsReference(const char* name, Rewrite scan, Rewrite reference, const std::vector<std::string>& pieces,
                           std::uint32_t seed) {
  std::mt19937 random(seed);
  int changed = 0;
  for (int n = 0; n < rounds(); ++n) {
    const std::string text = testing::randomText(random, pieces, 1 + n % 40);
    const std::string expected = reference(text);
    ASSERT_EQ(scan(text), expected) << name << " on " << testing::visible(text);
    changed += expected != text;
  }
  // The texts must exercise matches, not only misses.
  EXPECT_GT(changed, rounds() / 20) << name;
}

TEST(Differential, Headings) {
  expectSameAsReference("headings", markHeadingAndSubheadings, reference::markHeadingAndSubheadings,
                        with(commonPieces(), {"\n\n", "\n  \n", ":///Attachment", "Attachment", "\n\n\nSub\n\n",
                                              "\n\n\n  Sub\n\n", "\n\n\n\tSub\n\n", "Title\n\n"}),
                        1);
}

TEST(Differential, LineBreaks) {
  expectSameAsReference("line breaks", addTrailingSpaces, reference::addTrailingSpaces,
                        with(commonPieces(), {"\n", "\r\n", "x\n", "\r\r\n"}), 2);
}

TEST(Differential, AttachmentLinks) {
  expectSameAsReference("attachment links", translateAttachmentLinks, reference::translateAttachmentLinks,
                        with(commonPieces(), {"xatch", "xatch", "xatch:///Attachments/", ":///Attachments/",
                                              ":///Attachments/a.png", "Attachments/", "://", "(", ")", "$1",
                                              "\\"}),
                        3);
}

TEST(Differential, Checkboxes) {
  expectSameAsReference("checkboxes", replaceCheckboxes, reference::replaceCheckboxes,
                        with(commonPieces(), {"\xE2\x98\x91", "\xE2\x98\x93", "\xE2\x98\x90\xCC\x81"}), 4);
}

TEST(Differential, WebLinks) {
  expectSameAsReference("web links", convertLinksToMarkdown, reference::convertLinksToMarkdown,
                        with(commonPieces(), {"http://", "HTTPS://", "https://", "ftp://", "FtP://", "://", "http",
                                              "https", "s", "S", "ftp", "http\xC5\xBF://", "sftp://x", ":", "/",
                                              ")", "]"}),
                        5);
}

TEST(Differential, AllRewritingsInOrder) {
  auto pipeline = [](std::string_view text, bool scans) {
    std::string working(text);
    if (scans) {
      working = convertLinksToMarkdown(replaceCheckboxes(
          translateAttachmentLinks(addTrailingSpaces(markHeadingAndSubheadings(working)))));
    } else {
      working = reference::convertLinksToMarkdown(reference::replaceCheckboxes(reference::translateAttachmentLinks(
          reference::addTrailingSpaces(reference::markHeadingAndSubheadings(working)))));
    }
    return working;
  };
  const auto pieces = with(commonPieces(), {"\n\n\nSection\n\n", "xatch:///Attachments/a.png", "http://x.org",
                                            "Title\n\n", ":///Attachment"});
  std::mt19937 random(6);
  for (int n = 0; n < rounds() / 3; ++n) {
    const std::string text = testing::randomText(random, pieces, 1 + n % 40);
    ASSERT_EQ(pipeline(text, true), pipeline(text, false)) << testing::visible(text);
  }
}

TEST(Differential, HeaderValuesAndNames) {
  const auto pieces = with(commonPieces(), {"Created:", "Created: ", "Created: x", "Tag(s): a, b", ":", "-", "_",
                                            "Z9", "\xCE\xB1", "\r\n"});
  std::mt19937 random(7);
  for (int n = 0; n < rounds(); ++n) {
    const std::string text = testing::randomText(random, pieces, 1 + n % 40);
    ASSERT_EQ(extractValueForKey(text, "Created:"), reference::extractValueForKey(text, "Created:"))
        << testing::visible(text);
    ASSERT_EQ(extractValueForKey(text, "Tag\\(s\\):"), reference::extractValueForKey(text, "Tag\\(s\\):"))
        << testing::visible(text);
    ASSERT_EQ(createName(text, "bin/x"), reference::createName(text, "bin/x")) << testing::visible(text);
  }
}

// The two corrections change only what they are meant to change.
TEST(Corrections, LineBreaksMoveOnlyForCarriageReturns) {
  auto pieces = commonPieces();
  std::erase_if(pieces, [](const std::string& piece) { return piece.find('\r') != std::string::npos; });
  std::mt19937 random(8);
  for (int n = 0; n < rounds(); ++n) {
    const std::string text = testing::randomText(random, pieces, 1 + n % 40);
    ASSERT_EQ(reference::addTrailingSpaces(text), reference::addTrailingSpacesUncorrected(text))
        << testing::visible(text);
  }
}

// Where the uncorrected patterns differ, they marked a heading made of white
// space only.
TEST(Corrections, HeadingsDifferOnlyOnWhiteSpaceLines) {
  const auto pieces = with(commonPieces(), {"\n\n", "\n  \n", "\n\n\nSub\n\n", "\n\n\n \t\n\n", "Title\n\n"});
  std::mt19937 random(9);
  int differences = 0;
  for (int n = 0; n < rounds(); ++n) {
    const std::string text = testing::randomText(random, pieces, 1 + n % 40);
    const std::string corrected = reference::markHeadingAndSubheadings(text);
    const std::string uncorrected = reference::markHeadingAndSubheadingsUncorrected(text);
    if (corrected == uncorrected) continue;
    ++differences;
    // Compare line by line: the uncorrected text must hold a marked line
    // whose text after the marker is white space.
    bool emptyHeading = false;
    for (std::size_t start = 0; start < uncorrected.size();) {
      std::size_t end = std::min(uncorrected.find('\n', start), uncorrected.size());
      std::string_view line(uncorrected.data() + start, end - start);
      std::size_t marker = line.find("# ");
      if (marker != std::string_view::npos) {
        std::size_t i = marker + 2;
        while (i < line.size() && platform::isWhiteSpaceAt(line, i)) platform::nextCodePoint(line, i);
        emptyHeading = emptyHeading || i == line.size();
      }
      start = end + 1;
    }
    ASSERT_TRUE(emptyHeading) << testing::visible(text);
  }
  EXPECT_GT(differences, 0);
}

}  // namespace
}  // namespace note2md
