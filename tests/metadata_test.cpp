#include <random>

#include <gtest/gtest.h>

#include "app/record.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "metadata/tags.hpp"
#include "platform/regex.hpp"
#include "support/generator.hpp"

namespace note2md {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(ExtractValueForKey, ReadsTheFirstLineThatCarriesTheKey) {
  const TextCase cases[] = {
      {"Created: 5 March", "5 March"},
      {"   Created: 5 March", "5 March"},
      {"\t\tCreated: 5 March", "5 March"},
      {"\xE3\x80\x80\xC2\xA0" "Created: d", "d"},  // ideographic and no-break space indent
      {"\n\n  \nCreated: d", "d"},                 // blank lines before
      {"Title\nBody\nCreated: in the body", "in the body"},
      {"Date Created: d", ""},  // only white space may precede the key
      {"created: d", ""},       // case matters
      {"Created: d   ", "d   "},
      {"Created:  d", " d"},  // blanks after the single one are the value's
      {"Created:    \nx", "   "},
      {"Created:d", ""},
      {"Created:\td", ""},
      {"Created:\nCreated: \nCreated: late", "late"},  // lines without a value are skipped
      {"Created: first\nCreated: second", "first"},
      {"Created: d\r\nUpdated: e", "d"},
      {"Created: a\xE2\x80\xA8" "b", "a"},  // LINE SEPARATOR ends the value
      {"Created: a\vb", "a"},
      {"x\xC2\x85" "Created: after NEL", "after NEL"},
      {"x\rCreated: after CR", "after CR"},
      {"x\n\tCreated: \xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(extractValueForKey(c.input, "Created:"), c.expected) << c.input;
}

TEST(ExtractValueForKey, TreatsTheKeyAsAPattern) {
  const std::string note = "Tags: plain\nTag(s): work, home\n";
  EXPECT_EQ(extractValueForKey(note, "Tag\\(s\\):"), "work, home");
  // Bare parentheses form a group, which then takes the value's place.
  EXPECT_EQ(extractValueForKey(note, "Tag(s):"), "s");
  EXPECT_EQ(extractValueForKey("Crexted: x", "Cre.ted:"), "x");
  EXPECT_THROW(extractValueForKey(note, "Tag(s:"), platform::RegexError);
}

// The line scan must agree with the pattern it replaces on every text.
TEST(ExtractValueForKey, AgreesWithThePatternOnGeneratedNotes) {
  const std::vector<std::string> pieces = {
      "\n", "\n", "\r\n", "\r", " ", " ", "\t", "\xC2\xA0", "\xE3\x80\x80", "\v", "\f", "\xC2\x85",
      "\xE2\x80\xA8", "\xE2\x80\xA9", "Created:", "Created: ", "Created: 5 March", "created: x", "Tag(s):",
      "Tag(s): a, b", "Tags: c", "Updated:", "x", "value", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xE2\x80\x8B",
      "Date ", ":", "(s)"};
  const std::pair<const char*, const char*> keys[] = {
      {"Created:", "Created:"}, {"Tag\\(s\\):", "Tag\\(s\\):"}, {"Updated:", "Updated:"}};
  std::mt19937 random(20261206);
  int found = 0;
  for (int n = 0; n < 4000; ++n) {
    std::string note = testing::randomText(random, pieces, 1 + n % 24);
    for (const auto& [key, patternKey] : keys) {
      platform::Regex pattern(std::string("^\\s*") + patternKey + " (.+)$", platform::Regex::anchorsMatchLines);
      std::string value = extractValueForKey(note, key);
      ASSERT_EQ(value, pattern.firstMatchGroup(note, 1).value_or("")) << testing::visible(note) << " key " << key;
      found += !value.empty();
    }
  }
  EXPECT_GT(found, 1000);  // the notes exercise matches, not only misses
}

TEST(FilterUnwantedChars, KeepsAsciiWordCharactersAndTrims) {
  const TextCase cases[] = {
      {"Shopping\nCreated: 5 March, home", "Shopping Created  5 March  home"},
      {"  (a_b-c) ", "a_b-c"},
      {"caf\xC3\xA9!", "caf"},
      {"e\xCC\x81x", "e x"},                 // the combining accent becomes a blank
      {"a\r\nb", "a  b"},                     // one character, two code points
      {"a\xF0\x9F\x98\x80" "b", "a b"},       // one code point outside the BMP
      {"\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7", ""},  // Greek
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(filterUnwantedCharsFrom(c.input), c.expected) << c.input;
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

TEST(MetadataRecord, JoinsTheFourValuesIntoOneLine) {
  EXPECT_EQ(metadataRecord("work, home", "5 March", "6 March", "Shopping list for Saturday"),
            "{tagList:{\"work\", \"home\"}, createdDate:\"5 March\", updatedDate:\"6 March\", "
            "name:\"Shopping list for Saturday\"}");
  EXPECT_EQ(metadataRecord("", "", "", "n"), "{tagList:{}, createdDate:\"\", updatedDate:\"\", name:\"n\"}");
  EXPECT_EQ(metadataRecord("", "\"March\"  ", "C:\\x", "/a\nb"),
            "{tagList:{}, createdDate:\"\\\"March\\\"  \", updatedDate:\"C:\\\\x\", name:\"/a\\nb\"}");
}

}  // namespace
}  // namespace note2md
