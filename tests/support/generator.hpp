// Random texts built from pieces that matter to a pattern. The numbers are
// the same under every C++ library (std::uniform_int_distribution's are
// not), so that a failing text can be made again anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace note2md::testing {

// SplitMix64.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  std::size_t below(std::size_t bound) {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return static_cast<std::size_t>((z ^ (z >> 31)) % bound);
  }

 private:
  uint64_t state_;
};

inline std::string randomText(Random& random, const std::vector<std::string>& pieces, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += pieces[random.below(pieces.size())];
  return text;
}

}  // namespace note2md::testing
