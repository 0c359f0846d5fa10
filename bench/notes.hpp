// Notes for the benchmarks, which the tests run too: repeated text, a
// realistic note of any size, the hostile inputs that make a backtracking
// engine slow, and random texts built from pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace note2md::support {

// SplitMix64: the same numbers under every C++ library (the distributions of
// <random> are not), so that a note or a failing text can be made again
// anywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  // A number below `bound`.
  std::size_t below(std::size_t bound) {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return static_cast<std::size_t>((z ^ (z >> 31)) % bound);
  }

 private:
  uint64_t state_;
};

// `count` pieces drawn at random.
std::string randomText(Random& random, const std::vector<std::string>& pieces, std::size_t count);

// `piece` `count` times.
std::string repeat(std::string_view piece, std::size_t count);

// `piece` repeated until the text holds at least `size` bytes.
std::string repeatTo(std::string_view piece, std::size_t size);

// Paragraphs, sections, checkboxes, web and attachment links and some
// non-ASCII text, about `size` bytes, the same every time.
std::string realisticNote(std::size_t size);

// Named inputs of about `size` bytes each that are hard on a backtracking
// engine for one pattern or another: a scan that is not linear takes
// quadratic time on at least one of them.
std::vector<std::pair<std::string, std::string>> adversarialNotes(std::size_t size);

}  // namespace note2md::support
