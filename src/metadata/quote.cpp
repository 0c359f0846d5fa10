#include "metadata/quote.hpp"

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

}  // namespace note2md::metadata
