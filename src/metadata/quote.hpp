// The quoting of the record's strings.
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// The value between double quotes as a string literal of the record: a
// backslash goes before each double quote and backslash, a line feed is
// written \n and a carriage return \r, so that any value keeps the record one
// parseable line. Other values are copied unchanged.
std::string quoteRecordString(std::string_view value);

}  // namespace note2md::metadata
