// The tag list of the metadata record.
#pragma once

#include <string>
#include <string_view>

namespace note2md::metadata {

// "{}" or {"tag", "tag"}: the value split at commas, each tag trimmed, empty
// ones dropped, the rest quoted as record strings and joined by ", ".
std::string formatTags(std::string_view tags);

}  // namespace note2md::metadata
