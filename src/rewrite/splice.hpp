// Building a rewritten text from the pieces of the original that stay.
#pragma once

#include <algorithm>
#include <cassert>
#include <string_view>

#include "system/buffer.hpp"

namespace note2md::rewrite {

// Writes into `out` only once something changes, so that a text without
// matches costs no copy. Positions are byte offsets into the text,
// increasing.
//
// While it copies, it gives the memory of the text well behind the copy
// back to the system, so that a large text and its rewritten copy are never
// both whole in memory. The scans never read more than a few bytes behind
// their last replacement, far less than kReadBehind.
class Splice {
 public:
  Splice(system::Buffer& text, system::Buffer& out, std::size_t expectedGrowth)
      : in_(text), text_(text.view()), out_(out), expectedGrowth_(expectedGrowth) {}

  // Copies the text up to `from`, drops it up to `to` and returns the output,
  // for the replacement to be appended.
  system::Buffer& replace(std::size_t from, std::size_t to) {
    // A position that goes back would copy the rest of the text silently.
    assert(copied_ <= from && from <= to && to <= text_.size());
    if (!changed_) {
      out_.clear();
      out_.reserve(text_.size() + expectedGrowth_);
      changed_ = true;
    }
    copyUpTo(from);
    copied_ = to;
    return out_;
  }

  system::Buffer& insert(std::size_t at) { return replace(at, at); }

  // Appends the rest; true when `out` holds a changed text. The text itself
  // may then have lost its front.
  bool finish() {
    if (changed_) copyUpTo(text_.size());
    return changed_;
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{4} << 20;
  static constexpr std::size_t kReadBehind = std::size_t{1} << 20;

  void copyUpTo(std::size_t end) {
    while (copied_ < end) {
      const std::size_t count = std::min(end - copied_, kChunk);
      out_.append(text_.substr(copied_, count));
      copied_ += count;
      if (copied_ > kReadBehind) in_.discardFront(copied_ - kReadBehind);
    }
  }

  system::Buffer& in_;
  std::string_view text_;
  system::Buffer& out_;
  std::size_t expectedGrowth_;
  std::size_t copied_ = 0;
  bool changed_ = false;
};

}  // namespace note2md::rewrite
