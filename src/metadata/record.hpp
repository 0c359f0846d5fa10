// The one line that tells the calling process what it needs to know.
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// {tagList:{"a", "b"}, createdDate:"...", updatedDate:"...", name:"..."},
// the tag list made by formatTags and the rest by quoteRecordString.
std::string metadataRecord(std::string_view tagValue, std::string_view createdValue, std::string_view updatedValue,
                           std::string_view name);

}  // namespace note2md::metadata
