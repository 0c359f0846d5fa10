#include "notes.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace note2md::support {
namespace {

const char* const kWords[] = {"the",     "garden", "plan",   "call",    "order", "kitchen", "seed",  "notes",
                              "meeting", "Monday", "draft",  "review",  "café",  "naïve",   "über",  "日本語",
                              "budget",  "list",   "follow", "project", "ideas", "😀",       "photo", "and"};

std::string sentence(Random& random, std::size_t minimum, std::size_t maximum) {
  std::string line;
  const std::size_t target = minimum + random.below(maximum - minimum + 1);
  while (line.size() < target) {
    if (!line.empty()) line += ' ';
    line += kWords[random.below(sizeof kWords / sizeof kWords[0])];
  }
  if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = static_cast<char>(line[0] - 'a' + 'A');
  return line;
}

}  // namespace

std::string repeat(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::string repeatTo(std::string_view piece, std::size_t size) {
  return repeat(piece, piece.empty() ? 0 : (size + piece.size() - 1) / piece.size());
}

std::string realisticNote(std::size_t size) {
  Random random(1);
  std::string note =
      "Weekly notes\n\nTag(s): work, home, ideas\nCreated: 5 March 2026 at 09:12\n"
      "Updated: 6 March 2026 at 18:40\n\n";
  while (note.size() < size) {
    switch (random.below(10)) {
      case 0:  // a section heading, two blank lines above it
        note += "\n\n" + sentence(random, 8, 30) + "\n\n";
        break;
      case 1:  // a checklist
        for (std::size_t i = 0, n = 2 + random.below(4); i < n; ++i)
          note += (random.below(2) != 0 ? "\u2610 " : "\u2612 ") + sentence(random, 10, 40) + "\n";
        note += "\n";
        break;
      case 2:  // an attachment
        note += "Attached: xatch:///Attachments/scan-" + std::to_string(random.below(100000)) + ".png\n\n";
        break;
      case 3:  // a line with a web address
        note += sentence(random, 20, 60) + " https://example.org/page/" + std::to_string(random.below(100000)) +
                "?q=" + std::to_string(random.below(1000)) + "\n";
        break;
      default:  // a paragraph of short lines, sometimes one long one
        for (std::size_t i = 0, n = 1 + random.below(5); i < n; ++i)
          note += sentence(random, 20, random.below(8) == 0 ? 240 : 90) + "\n";
        note += "\n";
    }
  }
  return note;
}

std::vector<std::pair<std::string, std::string>> adversarialNotes(std::size_t size) {
  std::string letters(size, 'a');
  return {
      {"only line feeds", std::string(size, '\n')},
      {"lines of one blank", repeatTo(" \n", size)},
      {"one line of blanks", std::string(size, ' ')},
      {"blanks, then a title", std::string(size, ' ') + "Title\n\nbody\n"},
      {"\"xatch\" repeated", repeatTo("xatch", size)},
      {"an anchor, then \"xatch\" repeated", ":///Attachments/a " + repeatTo("xatch", size)},
      {"one line of letters", letters},
      {"\"http://a\" repeated", repeatTo("http://a", size)},
      {"lines of one tab", repeatTo("\t\n", size)},
      {"lines of one letter", repeatTo("a\n", size)},
      {"\"#\" lines between blank lines", repeatTo("\n\n\n#\n", size)},
      {"CR LF lines", repeatTo("line\r\n", size)},
      {"ballot boxes", repeatTo("\u2610", size)},
  };
}

std::string randomText(Random& random, const std::vector<std::string>& pieces, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += pieces[random.below(pieces.size())];
  return text;
}

}  // namespace note2md::support
