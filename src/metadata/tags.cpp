#include "metadata/tags.hpp"

#include "metadata/quote.hpp"
#include "unicode/utf8.hpp"

namespace note2md::metadata {

std::string formatTags(std::string_view tags) {
  std::string_view rest = unicode::trim(tags);
  std::string list = "{";
  bool first = true;
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view tag = unicode::trim(rest.substr(0, comma));
    if (!tag.empty()) {
      if (!first) list += ", ";
      list += quoteRecordString(tag);
      first = false;
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  list += '}';
  return list;
}

}  // namespace note2md::metadata
