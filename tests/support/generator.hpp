// Random texts built from pieces that matter to a pattern, for comparing a
// scan with the pattern it stands for.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace note2md::testing {

inline std::string randomText(std::mt19937& random, const std::vector<std::string>& pieces, std::size_t count) {
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += pieces[pick(random)];
  return text;
}

// The text in ASCII with everything else spelled out, for failure messages.
inline std::string visible(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return "\"" + shown + "\"";
}

}  // namespace note2md::testing
