// Large notes: giving memory back while rewriting changes no result. (Linear
// time on hostile notes is guarded by instruction counts, tests/e2e/counts.sh.)
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "notes.hpp"
#include "rewrite/rewrite.hpp"
#include "support/rewrite_text.hpp"

namespace note2md {
namespace {

// A rewriting gives the memory of its text back as it copies (see Splice).
// Discarded memory reads as zeros, so a scan that read behind its
// copy would now give another result than with the whole text kept.
TEST(LargeNotes, GivingMemoryBackDuringARewritingChangesNoResult) {
  using Rewrite = bool (*)(system::Buffer&, system::Buffer&);
  const std::pair<const char*, Rewrite> rewritings[] = {
      {"H", rewrite::markHeadingAndSubheadings},
      {"S", rewrite::addTrailingSpaces},
      {"A", rewrite::translateAttachmentLinks},
      {"L", rewrite::convertLinksToMarkdown},
  };
  const std::size_t size = std::size_t{12} << 20;
  const std::pair<const char*, std::string> notes[] = {
      {"realistic", support::realisticNote(size)},
      {"one change at the end",
       "Title\n\n" + std::string(size, 'x') + "\n\n\nEnd\n\nxatch:///Attachments/a https://a.org\nx\n"},
      {"short lines", "Title\n\n" + support::repeatTo("a\n", size)},
      {"addresses", support::repeatTo("http://a xatch:///Attachments/b\n", size)},
  };
  for (const auto& [letter, apply] : rewritings) {
    int compared = 0;
    for (const auto& [note, text] : notes) {
      system::Buffer kept(text);
      system::Buffer keptOut;
      system::BufferTesting::keepFront(kept);
      const bool changed = apply(kept, keptOut);
      system::Buffer given(text);
      system::Buffer givenOut;
      ASSERT_EQ(apply(given, givenOut), changed) << letter << " on " << note;
      if (!changed) continue;
      ++compared;
      EXPECT_TRUE(givenOut.view() == keptOut.view()) << letter << " on " << note;
      // Else the comparison would prove nothing.
      EXPECT_EQ(given.data()[0], '\0') << letter << " on " << note << ": nothing was given back";
    }
    EXPECT_GE(compared, 2) << letter;
  }
}

// The run hands each rewriting the buffer that held an earlier text, with
// room to spare: what it writes there stays whole as the buffer grows.
TEST(LargeNotes, AReusedBufferKeepsItsTextAsItGrows) {
  system::Buffer reused;
  reused.reserve(std::size_t{2} << 20);
  reused.append("earlier text").clear();
  reused.append("a").append(std::string(std::size_t{3} << 20, 'b'));
  EXPECT_EQ(reused.view().substr(0, 2), "ab");
}

}  // namespace
}  // namespace note2md
