#include "metadata/record.hpp"

#include "metadata/quote.hpp"
#include "metadata/tags.hpp"

namespace note2md::metadata {

std::string metadataRecord(std::string_view tagValue, std::string_view createdValue, std::string_view updatedValue,
                           std::string_view name) {
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
