#include <random>

#include <gtest/gtest.h>
#include <unicode/uclean.h>
#include <unicode/utf8.h>

#include "cli/run.hpp"
#include "support/rewrite_text.hpp"
#include "unicode/services.hpp"
#include "unicode/utf8.hpp"
#include "support/generator.hpp"
#include "support/notes.hpp"
#include "support/process.hpp"

namespace note2md::unicode {
namespace {

using testing::repeat;

using testing::ScratchDirectory;
using testing::DecodedText;
using testing::decodeText;

std::string bytes(std::initializer_list<int> values) {
  std::string result;
  for (int value : values) result.push_back(static_cast<char>(value));
  return result;
}

TEST(DecodeText, AcceptsUnicodeEncodingsAndDropsTheirMark) {
  struct Case {
    const char* name;
    std::string input;
    std::string text;
  };
  const std::string ballot = "a\xE2\x98\x90\xF0\x9F\x98\x80";  // a, U+2610, U+1F600
  const Case cases[] = {
      {"plain UTF-8", ballot, ballot},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + ballot, ballot},
      {"NUL is text", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"UTF-16LE", bytes({0xFF, 0xFE, 'a', 0, 0x10, 0x26, 0x3D, 0xD8, 0x00, 0xDE}), ballot},
      {"UTF-16BE", bytes({0xFE, 0xFF, 0, 'a', 0x26, 0x10, 0xD8, 0x3D, 0xDE, 0x00}), ballot},
      {"UTF-32LE", bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0, 0x10, 0x26, 0, 0, 0x00, 0xF6, 0x01, 0}), ballot},
      {"UTF-32BE", bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a', 0, 0, 0x26, 0x10, 0, 0x01, 0xF6, 0x00}), ballot},
  };
  for (const auto& c : cases) {
    DecodedText decoded = decodeText(c.input);
    EXPECT_TRUE(decoded.ok) << c.name << ": " << decoded.problem;
    EXPECT_EQ(decoded.text, c.text) << c.name;
  }
}

TEST(DecodeText, RefusesBytesThatAreNotTextInTheirEncoding) {
  struct Case {
    const char* name;
    std::string input;
    const char* problem;
  };
  const Case cases[] = {
      {"stray byte", "abc\xFF", "not valid UTF-8 text (ill-formed byte sequence at byte offset 3)"},
      {"overlong", "\xC0\x80", "not valid UTF-8"},
      {"encoded surrogate", "\xED\xA0\x80", "not valid UTF-8"},
      {"truncated at end", "ab\xE2\x98", "not valid UTF-8 text (ill-formed byte sequence at byte offset 2)"},
      {"offset counts the mark", "\xEF\xBB\xBFx\x80", "at byte offset 4"},
      {"deep in ASCII", std::string(99999, 'a') + "\x80" "aaa", "at byte offset 99999"},
      {"odd UTF-16 length", bytes({0xFF, 0xFE, 'a', 0, 'b'}), "not valid UTF-16LE text (ill-formed unit at byte offset 4)"},
      {"unpaired surrogate", bytes({0xFE, 0xFF, 0, 'a', 0xD8, 0x3D, 0, 'a'}),
       "not valid UTF-16BE text (ill-formed unit at byte offset 4)"},
      {"UTF-32 beyond range", bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a', 0, 0x11, 0, 0}),
       "not valid UTF-32BE text (ill-formed unit at byte offset 8)"},
  };
  for (const auto& c : cases) {
    DecodedText decoded = decodeText(c.input);
    EXPECT_FALSE(decoded.ok) << c.name;
    EXPECT_NE(decoded.problem.find(c.problem), std::string::npos) << c.name << ": " << decoded.problem;
  }
}

// The validator is a table-driven automaton of its own; ICU's decoder is the
// reference for what is well-formed and where the first ill-formed sequence
// starts.
TEST(DecodeText, AcceptsExactlyWhatIcuAccepts) {
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
  std::mt19937 random(7);
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string bytes;
    // Runs of ASCII in between, so that the eight-byte skipping takes part.
    for (int piece = 0, pieces = 1 + static_cast<int>(random() % 6); piece < pieces; ++piece) {
      if (random() % 3 == 0) bytes.append(random() % 12, 'a');
      bytes.push_back(static_cast<char>(interesting[random() % sizeof interesting]));
    }
    if (bytes[0] == '\xFE' || bytes[0] == '\xFF') bytes[0] = 'a';  // not a byte-order mark
    const std::size_t expected = icuFirstInvalid(bytes);
    ASSERT_EQ(unicode::firstInvalidUtf8(bytes), expected) << testing::visible(bytes);
    accepted += expected == std::string::npos;
  }
  EXPECT_GT(accepted, 2000);
}

TEST(TextServices, GraphemePrefixLengthLooksAsFarAsTheClustersReach) {
  const std::string acute = "\xCC\x81";  // U+0301, combines with what precedes it
  const std::string longCluster = std::string("e").append(repeat(acute, 10000));
  const std::string mediumCluster = std::string("e").append(repeat(acute, 40));
  const struct {
    const char* name;
    std::string text;
    std::size_t count;
    std::size_t length;
  } cases[] = {
      {"fewer clusters than asked for", "ab", 5, 2},
      {"exactly as many", "abc", 3, 3},
      {"one cluster far longer than the first look", longCluster + "x", 1, longCluster.size()},
      {"clusters that end beyond the first look", repeat(mediumCluster, 101), 100, 100 * mediumCluster.size()},
      {"the last cluster ends where the text ends", repeat(mediumCluster, 100), 100,
       100 * mediumCluster.size()},
      {"CR LF is one cluster", "\r\n\r\nx", 2, 4},
  };
  for (const auto& c : cases) EXPECT_EQ(graphemePrefixLength(c.text, c.count), c.length) << c.name;
}

// ICU allocates through these while a test makes it fail, as it would when
// its data is missing or memory has run out.
bool gFailIcu = false;
void* icuAlloc(const void*, size_t size) { return gFailIcu ? nullptr : std::malloc(size); }
void* icuRealloc(const void*, void* block, size_t size) { return gFailIcu ? nullptr : std::realloc(block, size); }
void icuFree(const void*, void* block) { std::free(block); }

TEST(TextServices, AFailingIcuIsAnErrorLineNeverAFallback) {
  UErrorCode status = U_ZERO_ERROR;
  u_setMemoryFunctions(nullptr, icuAlloc, icuRealloc, icuFree, &status);
  ASSERT_TRUE(U_SUCCESS(status));
  // Once ICU has loaded its data, only the objects of each call remain to fail.
  ASSERT_EQ(graphemePrefixLength("a\u0301b", 1), 3u);
  ASSERT_EQ(toUpper("x"), "X");
  gFailIcu = true;
  EXPECT_THROW(graphemePrefixLength("abc", 1), TextServiceError);
  EXPECT_THROW(findLastCharacter("a/b", "/"), TextServiceError);
  EXPECT_THROW(toUpper("x"), TextServiceError);

  ScratchDirectory scratch;
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
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"note.txt"});
}

}  // namespace
}  // namespace note2md::unicode
