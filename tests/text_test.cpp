// The UTF-8 automaton against ICU's decoder on many byte strings, more than
// the case files can hold.
#include <algorithm>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include "notes.hpp"
#include "unicode/utf8.hpp"

namespace note2md {
namespace {

// The automaton is a table of its own; ICU's decoder says what is well-formed
// and where the first ill-formed sequence starts.
TEST(Utf8, TheAutomatonFindsWhatIcuFinds) {
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
  support::Random random(7);
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string bytes;
    // Runs of ASCII in between, so that the eight-byte skipping takes part.
    for (std::size_t piece = 0, pieces = 1 + random.below(6); piece < pieces; ++piece) {
      if (random.below(3) == 0) bytes.append(random.below(12), 'a');
      bytes.push_back(static_cast<char>(interesting[random.below(sizeof interesting)]));
    }
    // In a block of exactly its size, so that reading past it is caught.
    const auto exact = std::make_unique<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const std::size_t expected = icuFirstInvalid(bytes);
    ASSERT_EQ(unicode::firstInvalidUtf8({exact.get(), bytes.size()}), expected) << ::testing::PrintToString(bytes);
    accepted += expected == std::string::npos;
  }
  EXPECT_GT(accepted, 2000);
}

}  // namespace
}  // namespace note2md
