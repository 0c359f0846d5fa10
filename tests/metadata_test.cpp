#include <gtest/gtest.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "metadata/tags.hpp"

namespace note2md::metadata {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(ExtractValueForKey, ReadsTheFirstLineThatCarriesTheKey) {
  const TextCase cases[] = {
      {"\n\n  \n\t\xE3\x80\x80" "Created: d", "d"},  // blank lines, then tab and ideographic space
      {"Title\nDate Created: d\nCreated: in the body", "in the body"},
      {"created: d", ""},
      {"Created:  d   \r\nx", " d   "},  // blanks after the single one are the value's; CR is not
      {"Created:\td\nCreated:\nCreated: \nCreated: late", "late"},
      {"Created: first\nCreated: second", "first"},
      {"Created: a\xE2\x80\xA8" "b", "a"},  // LINE SEPARATOR ends the value
      {"x\xC2\x85" "Created: after NEL", "after NEL"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(extractValueForKey(c.input, "Created:"), c.expected) << c.input;
}

TEST(ExtractValueForKey, TakesAKeyWrittenAsAPatternThatStandsForPlainText) {
  const std::string note = "Tags: plain\nTag(s): work, home\n";
  EXPECT_EQ(extractValueForKey(note, "Tag\\(s\\):"), "work, home");
  for (const char* key : {"Tag(s):", "Cre.ted:", "Tag(s:", "Created\\s", "Tag s:", "Tag\\"})
    EXPECT_THROW(extractValueForKey(note, key), KeyError) << key;
}

TEST(CreateName, TakesTheBeginningOfTheNoteOrFallsBackToTheProgramPath) {
  const std::string accented = [] {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "e\xCC\x81";
    return text + "tail";
  }();
  std::string accentedName;
  for (int i = 0; i < 100; ++i) accentedName += i == 0 ? "e" : " e";
  const TextCase cases[] = {
      {"abcdefghij", "abcdefghij"},  // ten characters are enough
      {"Shopping\nCreated: 5 March, home", "Shopping Created  5 March  home"},
      {"abcd,efghi", "abcd efghi"},  // blanks inside count
      {"abcdefghi", "/convert.x"},   // nine are not
      {"!!abcdefghij!!", "abcdefghij"},
      {std::string(95, '!') + "abcdefghijklmnop", "/convert.x"},  // only 100 characters are looked at
      {std::string(89, '\n') + "\r\n" + "abcdefghijklm", "abcdefghij"},  // CR LF is one character
      {accented, accentedName},  // 100 characters, 200 code points
      {"\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5",
       "/convert.x"},
      {"", "/convert.x"},
  };
  for (const auto& c : cases) EXPECT_EQ(createName(c.input, "bin/convert.x"), c.expected) << c.input;
}

TEST(CreateName, UsesTheLastSlashOfTheProgramPathUnsanitised) {
  const TextCase cases[] = {
      {"bin/convert.x", "/convert.x"},
      {"/usr/local/bin/note2md", "/note2md"},
      {"note2md", ""},
      {"dir/", "/"},
      {"a b/\"q\" caf\xC3\xA9.x", "/\"q\" caf\xC3\xA9.x"},
      {"a/b/\xCC\x81" "c", "/b/\xCC\x81" "c"},  // a slash with a combining mark is not a slash
      {"x/\xFF", "/\xEF\xBF\xBD"},                // ill-formed bytes are repaired
  };
  for (const auto& c : cases) EXPECT_EQ(createName("short", c.input), c.expected) << c.input;
  EXPECT_EQ(extractFileName("no-slash"), std::nullopt);
}

TEST(FormatTags, SplitsAtCommasTrimsAndQuotes) {
  const TextCase cases[] = {
      {"", "{}"},
      {" \t ", "{}"},
      {",", "{}"},
      {", ,", "{}"},
      {"work", "{\"work\"}"},
      {"work, home", "{\"work\", \"home\"}"},
      {" work ,home,, ", "{\"work\", \"home\"}"},
      {"to do, x", "{\"to do\", \"x\"}"},
      {"a;b c", "{\"a;b c\"}"},
      {"a, a", "{\"a\", \"a\"}"},
      {"\xC2\xA0work\xC2\xA0,\xE3\x80\x80home", "{\"work\", \"home\"}"},
      // Quotes, backslashes and line ends are escaped so the record stays one line.
      {"say \"hi\", a\\b", "{\"say \\\"hi\\\"\", \"a\\\\b\"}"},
      {"a\r", "{\"a\\r\"}"},
      {"{x}", "{\"{x}\"}"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatTags(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace note2md::metadata
