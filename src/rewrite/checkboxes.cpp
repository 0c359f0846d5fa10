#include "rewrite/rewrite.hpp"

namespace note2md {
namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found = text.find(from); found != std::string_view::npos; found = text.find(from, start)) {
    result.append(text, start, found - start).append(to);
    start = found + from.size();
  }
  return result.append(text, start);
}

}  // namespace

std::string replaceCheckboxes(std::string_view text) {
  return replaceAll(replaceAll(text, "\u2610", "[ ]"), "\u2612", "[x]");
}

}  // namespace note2md
