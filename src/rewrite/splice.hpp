// Building a rewritten text from the pieces of the original that stay.
#pragma once

#include <cassert>
#include <string>
#include <string_view>

namespace note2md::rewrite {

// Writes into `out` only once something changes, so that a text without
// matches costs no copy. Positions are byte offsets into `text`, increasing.
class Splice {
 public:
  Splice(std::string_view text, std::string& out, std::size_t expectedGrowth)
      : text_(text), out_(out), expectedGrowth_(expectedGrowth) {}

  // Copies the text up to `from`, drops it up to `to` and returns the output,
  // for the replacement to be appended.
  std::string& replace(std::size_t from, std::size_t to) {
    // A position that goes back would copy the rest of the text silently.
    assert(copied_ <= from && from <= to && to <= text_.size());
    if (!changed_) {
      out_.clear();
      out_.reserve(text_.size() + expectedGrowth_);
      changed_ = true;
    }
    out_.append(text_, copied_, from - copied_);
    copied_ = to;
    return out_;
  }

  std::string& insert(std::size_t at) { return replace(at, at); }

  // Appends the rest; true when `out` holds a changed text.
  bool finish() {
    if (changed_) out_.append(text_, copied_);
    return changed_;
  }

 private:
  std::string_view text_;
  std::string& out_;
  std::size_t expectedGrowth_;
  std::size_t copied_ = 0;
  bool changed_ = false;
};

}  // namespace note2md::rewrite
