// What the case files cannot hold: the UTF-8 automaton against ICU's decoder
// on many byte strings, ICU failing, failures while rewriting, keys that are
// not plain text, the flush policy of macOS, the attributes never carried, a
// broken invariant and the Splice precondition.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <unicode/uclean.h>
#include <unicode/utf8.h>

#include "cli/detail.hpp"
#include "cli/run.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "rewrite/splice.hpp"
#include "support/files.hpp"
#include "system/attributes.hpp"
#include "system/failure.hpp"
#include "system/flush.hpp"
#include "system/signals.hpp"
#include "support/generator.hpp"
#include "unicode/services.hpp"
#include "unicode/utf8.hpp"

namespace note2md {
namespace {

// The automaton is a table of its own; ICU's decoder says what is well-formed
// and where the first ill-formed sequence starts.
TEST(Utf8, TheAutomatonFindsWhatIcuFinds) {
  const unsigned char interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                       0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
  auto icuFirstInvalid = [](const std::string& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    for (int32_t i = 0; i < length;) {
      const int32_t start = i;
      UChar32 c;
      U8_NEXT(data, i, length, c);
      if (c < 0) return static_cast<std::size_t>(start);
    }
    return std::string::npos;
  };
  testing::Random random(7);
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string bytes;
    // Runs of ASCII in between, so that the eight-byte skipping takes part.
    for (std::size_t piece = 0, pieces = 1 + random.below(6); piece < pieces; ++piece) {
      if (random.below(3) == 0) bytes.append(random.below(12), 'a');
      bytes.push_back(static_cast<char>(interesting[random.below(sizeof interesting)]));
    }
    // In a block of exactly its size, so that reading past it is caught.
    const auto exact = std::make_unique<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const std::size_t expected = icuFirstInvalid(bytes);
    ASSERT_EQ(unicode::firstInvalidUtf8({exact.get(), bytes.size()}), expected) << ::testing::PrintToString(bytes);
    accepted += expected == std::string::npos;
  }
  EXPECT_GT(accepted, 2000);
}

// ICU allocates through these while a test makes it fail, as it would when
// its data is missing or memory has run out.
bool gFailIcu = false;
void* icuAlloc(const void*, size_t size) { return gFailIcu ? nullptr : std::malloc(size); }
void* icuRealloc(const void*, void* block, size_t size) { return gFailIcu ? nullptr : std::realloc(block, size); }
void icuFree(const void*, void* block) { std::free(block); }

TEST(Graphemes, AFailingIcuIsAnErrorLineNeverAFallback) {
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

  testing::ScratchDirectory scratch;
  const std::string note = scratch.file("note.txt");
  const std::string out = scratch.file("out.md");
  testing::writeFile(note, "A note long enough for a name\n");
  const char* argv[] = {"note2md", note.c_str(), out.c_str(), "H"};
  ::testing::internal::CaptureStdout();
  int exitStatus = cli::run(4, argv);
  std::string printed = ::testing::internal::GetCapturedStdout();
  gFailIcu = false;
  EXPECT_EQ(exitStatus, 1);
  EXPECT_TRUE(printed.starts_with("Error: ")) << printed;
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
  EXPECT_TRUE(scratch.holdsOnly("note.txt"));
}

// What goes wrong while rewriting is one error line, and nothing is
// written: Markdown beyond the largest note (brought to the limit without
// touching its memory, then one byte more), and memory that runs out.
TEST(Run, FailuresWhileRewritingAreErrorLines) {
  struct Row {
    cli::detail::Rewrite rewrite;
    std::string reason;  // after "Error: "; OUT stands for the output's path
  };
  const Row rows[] = {
      {[](system::Buffer&, system::Buffer& out) {
         out.clear();
         out.reserve(system::kLargestText);
         out.grow(system::kLargestText - 1);
         out.append("a").append("b");
         return true;
       },
       "cannot write \"OUT\": File too large"},
      {[](system::Buffer&, system::Buffer&) -> bool { throw std::bad_alloc(); }, "out of memory"},
  };
  for (const Row& row : rows) {
    const cli::detail::Operations operations = {metadata::extractValueForKey, metadata::createName, {row.rewrite}};
    testing::ScratchDirectory scratch;
    const std::string note = scratch.file("note.txt");
    const std::string out = scratch.file("out.md");
    testing::writeFile(note, "Title\n");
    const char* argv[] = {"note2md", note.c_str(), out.c_str(), "H"};
    ::testing::internal::CaptureStdout();
    const int exitStatus = cli::detail::run(4, argv, operations);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    std::string reason = row.reason;
    if (const std::size_t at = reason.find("OUT"); at != std::string::npos) reason.replace(at, 3, out);
    EXPECT_EQ(std::to_string(exitStatus) + " " + printed, "1 Error: " + reason + "\n");
    EXPECT_TRUE(scratch.holdsOnly("note.txt"));
  }
}

TEST(HeaderKeys, OnlyKeysThatStandForPlainTextAreTaken) {
  for (const char* key : {"Tag(s):", "Cre.ted:", "Tag(s:", "Created\\s", "Tag s:", "Tag\\"})
    EXPECT_THROW(metadata::extractValueForKey("Tag(s): a", key), std::invalid_argument) << key;
}

// The flush policy of macOS, run here with a stand-in for the system: what
// each call answers, which calls are made and what the flush returns. A
// drive error must never pass for success by a fallback to fsync, which on
// macOS does not reach the drive.
TEST(Flush, FallsBackOnlyWhereTheFileSystemDoesNotOfferACall) {
  struct Row {
    system::Flush how;
    int barrier, full, fsync;  // the answers
    const char* calls;         // b, f, s: the calls made, in order
    int result;
  };
  const Row rows[] = {
      {system::Flush::ordered, 0, 0, 0, "b", 0},
      {system::Flush::ordered, ENOTTY, 0, 0, "bf", 0},  // FAT on macOS: no barrier, but a full flush
      {system::Flush::ordered, ENOTSUP, ENOTTY, 0, "bfs", 0},
      {system::Flush::ordered, EIO, 0, 0, "b", EIO},
      {system::Flush::ordered, EINVAL, EIO, 0, "bf", EIO},
      {system::Flush::durable, 0, 0, 0, "f", 0},
      {system::Flush::durable, 0, ENOTTY, EIO, "fs", EIO},
      {system::Flush::durable, 0, ENOSPC, 0, "f", ENOSPC},
      {system::Flush::durable, 0, EINTR, 0, "f", EINTR},
      {system::Flush::durable, 0, ENOTTY, EROFS, "fs", 0},  // nothing to flush on a read-only file system
      {system::Flush::durable, 0, EBADF, 0, "f", 0},
  };
  static const Row* row;
  static std::string calls;
  for (const Row& each : rows) {
    row = &each;
    calls.clear();
    const int result = system::flush(7, each.how, [](int fd, system::os::FlushCall call) {
      EXPECT_EQ(fd, 7);
      calls += "bfs"[static_cast<int>(call)];
      return call == system::os::FlushCall::barrier ? row->barrier : call == system::os::FlushCall::full ? row->full : row->fsync;
    });
    EXPECT_EQ(calls + " " + std::to_string(result), std::string(each.calls) + " " + std::to_string(each.result))
        << "row " << &each - rows;
  }
}

// The attributes that stay with the old file, as the README lists them, and
// on macOS what Apple's safe save drops (its own table, and a name's flags
// suffix); anything else goes on.
TEST(Attributes, WhatBelongsToTheOldContentOrTheSystemStaysBehind) {
  struct Row {
    const char* name;
    bool stays;       // everywhere
    bool staysOnMac;  // on macOS
  };
  const Row rows[] = {
      {"security.capability", true, true},
      {"security.ima", true, true},
      {"security.evm", true, true},
      {"com.apple.quarantine", true, true},
      {"com.apple.macl", true, true},
      {"com.apple.provenance", true, true},
      {"com.apple.rootless", true, true},
      {"com.apple.decmpfs", true, true},
      {"com.apple.cs.CodeDirectory", true, true},
      {"com.apple.TextEncoding", false, true},
      {"com.apple.ResourceFork", false, true},
      {"com.apple.FinderInfo", false, true},
      {"com.apple.root.installed", false, true},
      {"com.apple.metadata:kMDItemIsShared", false, true},
      {"com.example.draft#N", false, true},
      {"user.origin", false, false},
      {"system.posix_acl_access", false, false},
      {"security.selinux", false, false},
      {"com.apple.metadata:_kMDItemUserTags", false, false},
      {"com.example.tag#S", false, false},
      {"com.apple.quarantine2", false, false},
      {"com.apple.c", false, false},
  };
#ifdef __APPLE__
  constexpr bool kMac = true;
#else
  constexpr bool kMac = false;
#endif
  for (const Row& row : rows) EXPECT_EQ(system::mustNotCarry(row.name), kMac ? row.staysOnMac : row.stays) << row.name;
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

TEST(Splice, StopsAtAPositionThatGoesBackInDebugBuilds) {
#ifdef NDEBUG
  GTEST_SKIP() << "preconditions are checked in debug builds only";
#else
  system::Buffer text("abcdef");
  system::Buffer out;
  rewrite::Splice splice(text, out, 0);
  splice.replace(3, 4).append("x");
  EXPECT_DEATH(splice.replace(1, 2), "");
#endif
}

}  // namespace
}  // namespace note2md
