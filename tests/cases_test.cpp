// Runs the case files of tests/cases: each row applies one operation to one
// input and names the result, which the program must give and, where the
// operation has one, its pattern through ICU's regex engine too. Every input
// is handed over in a heap block of exactly its size, so that a scan that
// reads past the end fails under AddressSanitizer.
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "metadata/tags.hpp"
#include "notes.hpp"
#include "reference/reference.hpp"
#include "support/rewrite_text.hpp"
#include "unicode/services.hpp"

namespace note2md {
namespace {

using Operation = std::function<std::string(std::string_view)>;

struct Operations {
  Operation program;
  Operation reference;  // empty where no pattern states the operation
};

const std::map<std::string, Operations, std::less<>>& operations() {
  static const std::map<std::string, Operations, std::less<>> table = {
      {"H", {support::markHeadingAndSubheadings, reference::markHeadingAndSubheadings}},
      {"S", {support::addTrailingSpaces, reference::addTrailingSpaces}},
      {"A", {support::translateAttachmentLinks, reference::translateAttachmentLinks}},
      {"X", {support::replaceCheckboxes, reference::replaceCheckboxes}},
      {"L", {support::convertLinksToMarkdown, reference::convertLinksToMarkdown}},
      {"created",
       {[](auto text) { return metadata::extractValueForKey(text, "Created:"); },
        [](auto text) { return reference::extractValueForKey(text, "Created:"); }}},
      {"tag",
       {[](auto text) { return metadata::extractValueForKey(text, "Tag\\(s\\):"); },
        [](auto text) { return reference::extractValueForKey(text, "Tag\\(s\\):"); }}},
      {"name",
       {[](auto text) { return metadata::createName(text, "bin/convert.x"); },
        [](auto text) { return reference::createName(text, "bin/convert.x"); }}},
      {"program",
       {[](auto path) { return metadata::createName("short", path); },
        [](auto path) { return reference::createName("short", path); }}},
      {"tags", {metadata::formatTags, {}}},
      {"first1", {[](auto text) { return std::to_string(unicode::graphemePrefixLength(text, 1)); }, {}}},
      {"first100", {[](auto text) { return std::to_string(unicode::graphemePrefixLength(text, 100)); }, {}}},
      // The escapes of these files, read back as hex digits, which hold none.
      {"hex",
       {[](auto bytes) {
          std::string hex;
          for (unsigned char byte : bytes) {
            hex += "0123456789ABCDEF"[byte >> 4];
            hex += "0123456789ABCDEF"[byte & 15];
          }
          return hex;
        },
        {}}},
      {"decode",
       {[](auto bytes) {
          support::DecodedText decoded = support::decodeText(bytes);
          return decoded.ok ? decoded.text : "error: " + decoded.problem;
        },
        {}}},
  };
  return table;
}

std::string utf8(char32_t c) {
  char bytes[4];
  int32_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, c);
  return std::string(bytes, static_cast<std::size_t>(length));
}

// A field of a row with its escapes read: \n \r \t \s (a blank) \\ \|
// \xHH (a byte), \u{H...} (a code point in UTF-8) and \{N*TEXT} (TEXT
// repeated N times).
std::string unescape(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    const char kind = field[++i];
    if (kind == 'x') {
      text += static_cast<char>(std::stoi(std::string(field.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else if (kind == 'u') {
      const std::size_t close = field.find('}', i);
      auto c = static_cast<char32_t>(std::stoul(std::string(field.substr(i + 2, close - i - 2)), nullptr, 16));
      text += utf8(c);
      i = close;
    } else if (kind == '{') {
      const std::size_t star = field.find('*', i);
      // The "}" that closes neither an escape nor a repetition inside.
      std::size_t close = star + 1;
      for (int depth = 0; close < field.size() && (field[close] != '}' || depth-- > 0);) {
        if (field[close] != '\\')
          ++close;
        else if (field[close + 1] == 'u')
          close = field.find('}', close) + 1;
        else
          depth += field[(close += 2) - 1] == '{';
      }
      text += support::repeat(unescape(field.substr(star + 1, close - star - 1)),
                              std::stoul(std::string(field.substr(i + 1, star - i - 1))));
      i = close;
    } else {
      const std::string_view from = "nrts", to = "\n\r\t ";
      const std::size_t at = from.find(kind);
      text += at == std::string_view::npos ? kind : to[at];
    }
  }
  return text;
}

// The fields of a row, split at every "|" that no backslash escapes, each
// without the one blank that sets it off.
std::vector<std::string_view> fields(std::string_view row) {
  std::vector<std::string_view> result;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= row.size(); ++i) {
    if (i < row.size() && row[i] == '\\') {
      ++i;
    } else if (i == row.size() || row[i] == '|') {
      std::string_view field = row.substr(start, i - start);
      if (field.starts_with(' ')) field.remove_prefix(1);
      if (field.ends_with(' ')) field.remove_suffix(1);
      result.push_back(field);
      start = i + 1;
    }
  }
  return result;
}

class Cases : public ::testing::TestWithParam<const char*> {};

TEST_P(Cases, GiveTheResultsTheyName) {
  std::ifstream file(std::string(NOTE2MD_CASES) + "/" + GetParam());
  ASSERT_TRUE(file) << GetParam();
  int rows = 0;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line.starts_with('#')) continue;
    const auto parts = fields(line);
    ASSERT_EQ(parts.size(), 3u) << GetParam() << ":" << number << ": OP | INPUT | EXPECTED";
    const auto operation = operations().find(parts[0]);
    ASSERT_NE(operation, operations().end()) << GetParam() << ":" << number << ": no operation " << parts[0];
    const std::string input = unescape(parts[1]), expected = unescape(parts[2]);
    const auto exact = std::make_unique<char[]>(input.size());
    std::copy(input.begin(), input.end(), exact.get());
    const std::string_view view(exact.get(), input.size());
    const std::string where = std::string(GetParam()) + ":" + std::to_string(number) + ": ";
    // A result that differs is shown from where it differs: results of
    // several megabytes stay readable.
    auto check = [&](const std::string& actual, const char* by) {
      const auto at =
          std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin();
      EXPECT_TRUE(actual == expected) << where << by << parts[1] << "\n  at byte " << at << ": "
                                      << ::testing::PrintToString(actual.substr(static_cast<std::size_t>(at), 40))
                                      << " where "
                                      << ::testing::PrintToString(expected.substr(
                                             std::min<std::size_t>(static_cast<std::size_t>(at), expected.size()), 40));
    };
    check(operation->second.program(view), "");
    if (operation->second.reference) check(operation->second.reference(view), "pattern on ");
    ++rows;
  }
  EXPECT_GT(rows, 10) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Files, Cases, ::testing::Values("rewrite.cases", "metadata.cases", "unicode.cases"));

}  // namespace
}  // namespace note2md
