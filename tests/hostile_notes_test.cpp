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
#include "rewrite/rewrite.hpp"
#include "support/notes.hpp"

namespace note2md {
namespace {

constexpr double kLimitSeconds = 5.0;

TEST(HostileNotes, EveryScanStaysLinear) {
  using Operation = std::function<std::string(const std::string&)>;
  const std::pair<const char*, Operation> operations[] = {
      {"H", [](const std::string& text) { return rewrite::markHeadingAndSubheadings(text); }},
      {"S", [](const std::string& text) { return rewrite::addTrailingSpaces(text); }},
      {"A", [](const std::string& text) { return rewrite::translateAttachmentLinks(text); }},
      {"X", [](const std::string& text) { return rewrite::replaceCheckboxes(text); }},
      {"L", [](const std::string& text) { return rewrite::convertLinksToMarkdown(text); }},
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

}  // namespace
}  // namespace note2md
