#include "metadata/record.hpp"

#include "metadata/tags.hpp"

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

std::string metadataRecord(std::string_view tagValue, std::string_view createdValue,
                           std::string_view updatedValue, std::string_view name) {
  std::string record = "{tagList:";
  record += formatTags(tagValue);
  record += ", createdDate:";
  record += quoteRecordString(createdValue);
  record += ", updatedDate:";
  record += quoteRecordString(updatedValue);
  record += ", name:";
  record += quoteRecordString(name);
  record += '}';
  return record;
}

}  // namespace note2md::metadata
