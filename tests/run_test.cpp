// The run where the end-to-end tests cannot reach: ICU failing, failures
// while rewriting, a broken invariant.
#include "cli/run.hpp"

#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include <gtest/gtest.h>
#include <unicode/uclean.h>

#include "cli/detail.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "support/files.hpp"
#include "system/failure.hpp"
#include "system/signals.hpp"
#include "unicode/services.hpp"

namespace note2md {
namespace {

// ICU allocates through these while a test makes it fail, as it would when
// its data is missing or memory has run out.
bool gFailIcu = false;
void* icuAlloc(const void*, size_t size) { return gFailIcu ? nullptr : std::malloc(size); }
void* icuRealloc(const void*, void* block, size_t size) { return gFailIcu ? nullptr : std::realloc(block, size); }
void icuFree(const void*, void* block) { std::free(block); }

// What goes wrong between reading and writing is one error line, and
// nothing is written: ICU failing, never answered by a fallback; Markdown
// beyond the largest note (brought to the limit without touching its
// memory, then one byte more); memory that runs out.
TEST(Run, FailuresWhileConvertingAreErrorLines) {
  UErrorCode status = U_ZERO_ERROR;
  u_setMemoryFunctions(nullptr, icuAlloc, icuRealloc, icuFree, &status);
  ASSERT_TRUE(U_SUCCESS(status));
  // Once ICU has loaded its data, only the objects of each call remain to fail.
  ASSERT_EQ(unicode::graphemePrefixLength("a\u0301b", 1), 3u);
  ASSERT_EQ(unicode::toUpper("x"), "X");
  gFailIcu = true;
  EXPECT_THROW(unicode::graphemePrefixLength("abc", 1), system::Failure);
  EXPECT_THROW(unicode::findLastCharacter("a/b", "/"), system::Failure);
  EXPECT_THROW(unicode::toUpper("x"), system::Failure);
  gFailIcu = false;

  struct Row {
    bool failIcu;
    cli::detail::Rewrite rewrite;
    std::string reason;  // after "Error: "; OUT stands for the output's path
  };
  const Row rows[] = {
      {true, [](system::Buffer&, system::Buffer&) { return false; }, "upper-casing failed: U_MEMORY_ALLOCATION_ERROR"},
      {false,
       [](system::Buffer&, system::Buffer& out) {
         out.clear();
         out.reserve(system::kLargestText);
         out.grow(system::kLargestText - 1);
         out.append("a").append("b");
         return true;
       },
       "cannot write \"OUT\": File too large"},
      {false, [](system::Buffer&, system::Buffer&) -> bool { throw std::bad_alloc(); }, "out of memory"},
  };
  for (const Row& row : rows) {
    const cli::detail::Operations operations = {metadata::extractValueForKey, metadata::createName, {row.rewrite}};
    support::ScratchDirectory scratch;
    const std::string note = scratch.file("note.txt");
    const std::string out = scratch.file("out.md");
    support::writeFile(note, "A note long enough for a name\n");
    const char* argv[] = {"note2md", note.c_str(), out.c_str(), "H"};
    ::testing::internal::CaptureStdout();
    gFailIcu = row.failIcu;
    const int exitStatus = cli::detail::run(4, argv, operations);
    gFailIcu = false;
    const std::string printed = ::testing::internal::GetCapturedStdout();
    std::string reason = row.reason;
    if (const std::size_t at = reason.find("OUT"); at != std::string::npos) reason.replace(at, 3, out);
    EXPECT_EQ(std::to_string(exitStatus) + " " + printed, "1 Error: " + reason + "\n");
    EXPECT_TRUE(scratch.holdsOnly("note.txt"));
  }
}

// A broken invariant (an exception that nothing catches) ends the process
// with status 1, and nothing on standard error.
TEST(Process, ABrokenInvariantExitsWithStatusOne) {
  EXPECT_EXIT(
      {
        system::guardProcess();
        std::terminate();
      },
      ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
}  // namespace note2md
