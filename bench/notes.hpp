// Notes for the benchmarks, which the tests run too: repeated text, a
// realistic note of any size and the hostile inputs that make a backtracking
// engine slow.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace note2md::testing {

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

}  // namespace note2md::testing
