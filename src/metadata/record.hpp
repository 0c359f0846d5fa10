// The one line that tells the calling process what it needs to know, and
// the quoting of its strings.
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// {tagList:{"a", "b"}, createdDate:"...", updatedDate:"...", name:"..."},
// the tag list made by formatTags and the rest by quoteRecordString.
std::string metadataRecord(std::string_view tagValue, std::string_view createdValue,
                           std::string_view updatedValue, std::string_view name);

// The value between double quotes as a string literal of the record: a
// backslash goes before each double quote and backslash, a line feed is
// written \n and a carriage return \r, so that any value keeps the record one
// parseable line. Other values are copied unchanged.
std::string quoteRecordString(std::string_view value);

}  // namespace note2md::metadata
