#include "metadata/tags.hpp"

#include "platform/text.hpp"

namespace note2md::metadata {

std::string quoteRecordString(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  for (char c : value) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      default: quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::string formatTags(std::string_view tags) {
  std::string_view rest = platform::trim(tags);
  std::string list = "{";
  bool first = true;
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view tag = platform::trim(rest.substr(0, comma));
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
