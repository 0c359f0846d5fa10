#include "app/record.hpp"

#include "metadata/tags.hpp"

namespace note2md::app {

std::string metadataRecord(std::string_view tagValue, std::string_view createdValue,
                           std::string_view updatedValue, std::string_view name) {
  std::string record = "{tagList:";
  record += metadata::formatTags(tagValue);
  record += ", createdDate:";
  record += metadata::quoteRecordString(createdValue);
  record += ", updatedDate:";
  record += metadata::quoteRecordString(updatedValue);
  record += ", name:";
  record += metadata::quoteRecordString(name);
  record += '}';
  return record;
}

}  // namespace note2md::app
