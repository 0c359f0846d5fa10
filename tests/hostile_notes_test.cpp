// Linear time, guarded by every test run: each rewriting, the header search
// and the name on every hostile 1 MiB note. A linear scan needs milliseconds
// for one; a quadratic one needs hours. The limit is generous enough for a
// loaded machine or a sanitizer build and still catches the second kind; the
// real speed figures are the benchmarks' business.
#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "support/rewrite_text.hpp"
#include "rewrite/rewrite.hpp"
#include "notes.hpp"

namespace note2md {
namespace {

constexpr double kLimitSeconds = 5.0;

TEST(HostileNotes, EveryScanStaysLinear) {
  using Operation = std::function<std::string(const std::string&)>;
  const std::pair<const char*, Operation> operations[] = {
      {"H", testing::markHeadingAndSubheadings},
      {"S", testing::addTrailingSpaces},
      {"A", testing::translateAttachmentLinks},
      {"X", testing::replaceCheckboxes},
      {"L", testing::convertLinksToMarkdown},
      {"header search", [](const std::string& text) { return metadata::extractValueForKey(text, "Created:"); }},
      {"name", [](const std::string& text) { return metadata::createName(text, "bin/note2md"); }},
  };
  const auto notes = testing::adversarialNotes(1 << 20);
  ASSERT_EQ(notes.size(), 13u);
  for (const auto& [note, text] : notes) {
    for (const auto& [operation, apply] : operations) {
      const auto start = std::chrono::steady_clock::now();
      const std::string result = apply(text);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      EXPECT_LT(took.count(), kLimitSeconds) << operation << " on " << note << " (" << result.size() << " bytes out)";
    }
  }
}

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
      {"realistic", testing::realisticNote(size)},
      {"one change at the end", "Title\n\n" + std::string(size, 'x') +
                                    "\n\n\nEnd\n\nxatch:///Attachments/a https://a.org\nx\n"},
      {"short lines", "Title\n\n" + testing::repeatTo("a\n", size)},
      {"addresses", testing::repeatTo("http://a xatch:///Attachments/b\n", size)},
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

}  // namespace
}  // namespace note2md
