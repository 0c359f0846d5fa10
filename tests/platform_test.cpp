#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/encoding.hpp"
#include "platform/file.hpp"
#include "platform/regex.hpp"
#include "platform/text.hpp"
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
      {"empty", "", ""},
      {"NUL is text", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"UTF-16LE", bytes({0xFF, 0xFE, 'a', 0, 0x10, 0x26, 0x3D, 0xD8, 0x00, 0xDE}), ballot},
      {"UTF-16BE", bytes({0xFE, 0xFF, 0, 'a', 0x26, 0x10, 0xD8, 0x3D, 0xDE, 0x00}), ballot},
      {"UTF-32LE", bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0, 0x10, 0x26, 0, 0, 0x00, 0xF6, 0x01, 0}), ballot},
      {"UTF-32BE", bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a', 0, 0, 0x26, 0x10, 0, 0x01, 0xF6, 0x00}), ballot},
      {"UTF-16 mark only", bytes({0xFF, 0xFE}), ""},
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
      {"Latin-1 letter", "caf\xE9 au lait", "not valid UTF-8 text (ill-formed byte sequence at byte offset 3)"},
      {"overlong", "\xC0\x80", "not valid UTF-8"},
      {"encoded surrogate", "\xED\xA0\x80", "not valid UTF-8"},
      {"truncated at end", "ab\xE2\x98", "not valid UTF-8 text (ill-formed byte sequence at byte offset 2)"},
      {"offset counts the mark", "\xEF\xBB\xBFx\x80", "at byte offset 4"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "not valid UTF-8"},
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

TEST(Trim, RemovesTabsAndSpaceSeparatorsOnlyAtTheEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {" \t ", ""},
      {"\xC2\xA0work\xE3\x80\x80", "work"},  // no-break space, ideographic space
      {"\xE2\x80\x8A" "a b\xE2\x80\xAF", "a b"},  // hair space, narrow no-break space
      {"a\n", "a\n"},                          // line ends are not trimmed
      {"\r a", "\r a"},
      {"\xE2\x80\x8B" "a", "\xE2\x80\x8B" "a"},  // zero width space is not a space separator
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(trim(input), expected) << input;
}

TEST(ToUpper, UsesTheFullMappingWithoutLocale) {
  const std::pair<std::string, std::string> cases[] = {
      {"hsaxl", "HSAXL"},
      {"-x", "-X"},
      {"\xC3\x9F", "SS"},                   // sharp s
      {"\xC5\xBF", "S"},                    // long s
      {"\xEF\xAC\x86", "ST"},               // st ligature
      {"i", "I"},                           // no Turkish dotted capital
      {"\xCE\x90", "\xCE\x99\xCC\x88\xCC\x81"},  // one letter becomes three code points
      {"a\xFF" "b", "A\xEF\xBF\xBD" "B"},  // ill-formed bytes are repaired
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(toUpper(input), expected) << input;
}

TEST(GraphemePrefix, CountsUserPerceivedCharacters) {
  struct Case {
    std::string text;
    std::size_t count;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"abc", 2, 2},
      {"abc", 5, 3},
      {"", 3, 0},
      {"\r\nx", 1, 2},                             // CR LF is one character
      {"e\xCC\x81x", 1, 3},                        // letter and combining accent
      {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA!", 1, 8},  // a flag
      {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB.", 1, 11},  // emoji joined by ZWJ
  };
  for (const auto& c : cases) EXPECT_EQ(graphemePrefixLength(c.text, c.count), c.bytes) << c.text;
}

TEST(FindLastCharacter, ComparesWholeCharacters) {
  EXPECT_EQ(findLastCharacter("bin/convert.x", "/"), 3u);
  EXPECT_EQ(findLastCharacter("/a/b/", "/"), 4u);
  EXPECT_EQ(findLastCharacter("convert", "/"), std::nullopt);
  // A slash carrying a combining mark is another character.
  EXPECT_EQ(findLastCharacter("a/b/\xCC\x81" "c", "/"), 1u);
}

TEST(Regex, ReplacesAndFindsWithIcuSemantics) {
  Regex dot("a.b", Regex::none);
  // The dot stops at every line terminator but matches other controls.
  EXPECT_EQ(dot.replaceAll("a\tb a\rb a\xC2\x85" "b a\xE2\x80\xA8" "b", "X"),
            "X a\rb a\xC2\x85" "b a\xE2\x80\xA8" "b");
  Regex counted("^.{2}$", Regex::anchorsMatchLines);
  EXPECT_EQ(counted.firstMatchGroup("\xF0\x9F\x98\x80\xF0\x9F\x98\x80\nxx", 0),
            "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");  // repetition counts code points
  Regex scheme("(https?)://", Regex::caseInsensitive);
  EXPECT_EQ(scheme.replaceAll("HTTP://", "[$1]"), "[HTTP]");
  Regex optional("a(x)?b", Regex::none);
  EXPECT_EQ(optional.replaceAll("ab", "<$1>"), "<>");
  EXPECT_EQ(optional.firstMatchGroup("ab", 1), std::nullopt);
  EXPECT_EQ(optional.firstMatchGroup("cd", 0), std::nullopt);
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

TEST_F(AtomicWrite, FailsCleanlyAndLeavesNothingBehind) {
  ASSERT_EQ(mkdir(scratch.file("dir").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(scratch.file("fifo").c_str(), 0644), 0);
  struct Case {
    std::string path;
    std::string message;
  };
  const Case cases[] = {
      {scratch.file("missing/out.md"),
       "cannot write \"" + scratch.file("missing/out.md") + "\": No such file or directory"},
      {scratch.file("dir"), "cannot write \"" + scratch.file("dir") + "\": Is a directory"},
      {scratch.file("fifo"), "cannot write \"" + scratch.file("fifo") + "\": not a regular file"},
      {"", "cannot write \"\": No such file or directory"},
  };
  for (const auto& c : cases) {
    try {
      writeFileAtomically(c.path, "text");
      ADD_FAILURE() << c.path << " was written";
    } catch (const FileError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
  EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"dir", "fifo"}));
}

TEST(ReadTextFile, NamesThePathAndTheReason) {
  ScratchDirectory scratch;
  testing::writeFile(scratch.file("latin1.txt"), "caf\xE9");
  const std::pair<std::string, std::string> cases[] = {
      {scratch.file("absent.txt"), "No such file or directory"},
      {scratch.path(), "Is a directory"},
      {scratch.file("latin1.txt"), "not valid UTF-8 text"},
      {"a\nb", "cannot read \"a\\nb\": No such file or directory"},  // stays one line
  };
  for (const auto& [path, reason] : cases) {
    try {
      readTextFile(path);
      ADD_FAILURE() << path << " was read";
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace note2md::platform
