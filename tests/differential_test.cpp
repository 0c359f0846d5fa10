// Every scan must give what its pattern gives through the regex engine, on
// many generated texts built from the pieces each pattern cares about.
// NOTE2MD_DIFFERENTIAL_ROUNDS raises the number of texts for a longer run.
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "notes.hpp"
#include "reference/reference.hpp"
#include "support/rewrite_text.hpp"

namespace note2md {
namespace {

using namespace support;  // the rewritings as text functions, repeat
using metadata::createName;
using metadata::extractValueForKey;

int rounds() {
  const char* configured = std::getenv("NOTE2MD_DIFFERENTIAL_ROUNDS");
  return configured != nullptr ? std::atoi(configured) : 3000;
}

// Pieces that every pattern cares about: all kinds of line ends and white
// space, characters of several sizes, and runs close to the 100 limit.
std::vector<std::string> piecesWith(const std::vector<std::string>& more) {
  // (clang-format would give each piece that ends in a line feed a line of its own)
  // clang-format off
  std::vector<std::string> pieces = {
      "\n", "\n", "\n", "\n\n\n", "\r\n", "\r", " ", " ", "  ", "\t", "\xC2\xA0", "\xE3\x80\x80", "\xE2\x80\xA8",
      "\xE2\x80\xA9", "\v", "\f", "\xC2\x85", "a", "word", "Title", "#", "\xC5\xBF", "\xF0\x9F\x98\x80",
      "e\xCC\x81", "\xE2\x98\x90", "\xE2\x98\x92", "\xE2\x80\x8B"};
  // clang-format on
  pieces.insert(pieces.end(),
                {repeat("a", 98), repeat("a", 100), repeat("b", 101), repeat("\xF0\x9F\x98\x80", 99), repeat(" ", 3)});
  pieces.insert(pieces.end(), more.begin(), more.end());
  return pieces;
}

using Operation = std::function<std::string(const std::string&)>;

struct Comparison {
  const char* name;
  Operation scan;
  Operation reference;
  std::vector<std::string> pieces;
};

TEST(Differential, ScansGiveWhatTheirPatternsGive) {
  const Comparison comparisons[] = {
      {"headings", markHeadingAndSubheadings, reference::markHeadingAndSubheadings,
       piecesWith({"\n\n", "\n  \n", ":///Attachment", "Attachment", "\n\n\nSub\n\n", "\n\n\n  Sub\n\n",
                   "\n\n\n\tSub\n\n", "Title\n\n"})},
      {"line breaks", addTrailingSpaces, reference::addTrailingSpaces, piecesWith({"x\n", "\r\r\n"})},
      {"attachment links", translateAttachmentLinks, reference::translateAttachmentLinks,
       piecesWith({"xatch", "xatch", "xatch:///Attachments/", ":///Attachments/", ":///Attachments/a.png",
                   "Attachments/", "://", "(", ")", "$1", "\\"})},
      {"checkboxes", replaceCheckboxes, reference::replaceCheckboxes,
       piecesWith({"\xE2\x98\x91", "\xE2\x98\x93", "\xE2\x98\x90\xCC\x81"})},
      {"web links", convertLinksToMarkdown, reference::convertLinksToMarkdown,
       piecesWith({"http://", "HTTPS://", "https://", "ftp://", "FtP://", "://", "http", "https", "s", "S", "ftp",
                   "http\xC5\xBF://", "sftp://x", ":", "/", ")", "]"})},
      {"header values",
       [](const std::string& text) {
         return extractValueForKey(text, "Created:") + '|' + extractValueForKey(text, "Tag\\(s\\):");
       },
       [](const std::string& text) {
         return reference::extractValueForKey(text, "Created:") + '|' +
                reference::extractValueForKey(text, "Tag\\(s\\):");
       },
       piecesWith({"Created:", "Created: ", "Created: 5 March", "created: x", "Tag(s):", "Tag(s): a, b", "Tags: c",
                   "Date ", ":", "(s)"})},
      {"names", [](const std::string& text) { return createName(text, "bin/x"); },
       [](const std::string& text) { return reference::createName(text, "bin/x"); },
       piecesWith({"Created: x", ":", "-", "_", "Z9", "\xCE\xB1"})},
  };
  support::Random random(20261206);
  for (const auto& comparison : comparisons) {
    int differentFromInput = 0;
    for (int n = 0; n < rounds(); ++n) {
      const std::string text = support::randomText(random, comparison.pieces, 1 + n % 40);
      const std::string expected = comparison.reference(text);
      ASSERT_EQ(comparison.scan(text), expected) << comparison.name << " on " << ::testing::PrintToString(text);
      differentFromInput += expected != text;
    }
    // The texts must exercise matches, not only misses.
    EXPECT_GT(differentFromInput, rounds() / 20) << comparison.name;
  }
}

}  // namespace
}  // namespace note2md
