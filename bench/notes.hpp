// The notes the benchmarks convert: a realistic note of any size and the
// inputs that make a backtracking engine slow.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace note2md::bench {

// Paragraphs, sections, checkboxes, web and attachment links and some
// non-ASCII text, about `size` bytes, the same every time.
std::string realisticNote(std::size_t size);

// Named inputs of about `size` bytes each that are hard on a backtracking
// engine for one pattern or another.
std::vector<std::pair<std::string, std::string>> adversarialNotes(std::size_t size);

}  // namespace note2md::bench
