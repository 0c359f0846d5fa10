// The run with other operations in place of the program's: only for the
// benchmarks, which run the same conversion with every operation done by its
// pattern through ICU's regex engine.
#pragma once

#include <string>
#include <string_view>

#include "system/buffer.hpp"

namespace note2md::cli::detail {

// As the rewritings: true when the result is in `out`, false when in `text`.
using Rewrite = bool (*)(system::Buffer& text, system::Buffer& out);

struct Operations {
  std::string (*extractValueForKey)(std::string_view text, std::string_view key);
  std::string (*createName)(std::string_view text, std::string_view argument0);
  Rewrite rewrites[5];  // for H, S, A, X and L, in this order
};

int run(int argc, const char* const* argv, const Operations& operations);

}  // namespace note2md::cli::detail
