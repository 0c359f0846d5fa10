#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/encoding.hpp"
#include "platform/file.hpp"
#include "platform/regex.hpp"
#include "support/process.hpp"

namespace note2md::platform {
namespace {

using testing::ScratchDirectory;

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
      {"odd UTF-16 length", bytes({0xFF, 0xFE, 'a', 0, 'b'}), "not valid UTF-16LE text"},
      {"unpaired surrogate", bytes({0xFE, 0xFF, 0xD8, 0x3D, 0, 'a'}), "not valid UTF-16BE text"},
      {"UTF-32 beyond range", bytes({0, 0, 0xFE, 0xFF, 0, 0x11, 0, 0}), "not valid UTF-32BE text"},
  };
  for (const auto& c : cases) {
    DecodedText decoded = decodeText(c.input);
    EXPECT_FALSE(decoded.ok) << c.name;
    EXPECT_NE(decoded.problem.find(c.problem), std::string::npos) << c.name << ": " << decoded.problem;
  }
}

TEST(DecodeText, FindsAnIllFormedByteDeepInsideLongAsciiRuns) {
  std::string text(100003, 'a');
  text[99999] = '\x80';
  DecodedText decoded = decodeText(text);
  EXPECT_FALSE(decoded.ok);
  EXPECT_NE(decoded.problem.find("offset 99999"), std::string::npos) << decoded.problem;
}

TEST(Regex, ReportsAnInvalidPatternReadably) {
  try {
    Regex broken("Tag(s:", Regex::none);
    FAIL() << "compiled";
  } catch (const RegexError& error) {
    EXPECT_STREQ(error.what(), "invalid regular expression \"Tag(s:\": unbalanced parenthesis at offset 6");
  }
}

TEST(Regex, BacktracksThroughLongInputsWithoutGivingUp) {
  // Every repetition is a backtracking point; with the engine's default stack
  // limit this search would be abandoned half way.
  Regex pattern("(?:a|b)*x", Regex::none);
  std::string text(1000000, 'a');
  EXPECT_EQ(pattern.firstMatchGroup(text + "x", 0), text + "x");
}

class AtomicWrite : public ::testing::Test {
 protected:
  ScratchDirectory scratch;
  mode_t modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
  }
};

TEST_F(AtomicWrite, CreatesANewFileWithTheUsualPermissions) {
  mode_t mask = umask(022);
  writeFileAtomically(scratch.file("new.md"), "text");
  umask(mask);
  EXPECT_EQ(testing::readFile(scratch.file("new.md")), "text");
  EXPECT_EQ(modeOf(scratch.file("new.md")), 0644u);
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"new.md"});
}

TEST_F(AtomicWrite, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
  testing::writeFile(scratch.file("out.md"), std::string(10000, 'x'));
  chmod(scratch.file("out.md").c_str(), 0640);
  writeFileAtomically(scratch.file("out.md"), "short");
  EXPECT_EQ(testing::readFile(scratch.file("out.md")), "short");
  EXPECT_EQ(modeOf(scratch.file("out.md")), 0640u);
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"out.md"});
}

TEST_F(AtomicWrite, ReplacesTheFileBehindASymbolicLink) {
  testing::writeFile(scratch.file("target.md"), "old");
  ASSERT_EQ(symlink("target.md", scratch.file("link.md").c_str()), 0);
  writeFileAtomically(scratch.file("link.md"), "new");
  EXPECT_EQ(testing::readFile(scratch.file("target.md")), "new");
  struct stat status {};
  ASSERT_EQ(lstat(scratch.file("link.md").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
}

TEST_F(AtomicWrite, RefusesToReplaceAnythingButARegularFile) {
  ASSERT_EQ(mkfifo(scratch.file("fifo").c_str(), 0644), 0);
  try {
    writeFileAtomically(scratch.file("fifo"), "text");
    ADD_FAILURE() << "the pipe was replaced";
  } catch (const FileError& error) {
    EXPECT_EQ(error.what(), "cannot write \"" + scratch.file("fifo") + "\": not a regular file");
  }
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"fifo"});
}

TEST(ReadTextFile, KeepsAPathWithControlCharactersOnOneLine) {
  try {
    readTextFile("a\nb\x1B");
    ADD_FAILURE() << "read";
  } catch (const FileError& error) {
    EXPECT_STREQ(error.what(), "cannot read \"a\\nb\\x1B\": No such file or directory");
  }
}

}  // namespace
}  // namespace note2md::platform
