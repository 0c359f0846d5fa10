// Standard output, the program's only channel.
#pragma once

#include <string_view>

namespace note2md::system {

// Writes `line` and one line feed to standard output in a single write, so
// the message is complete before the process goes on. False when it failed.
bool printLine(std::string_view line);

}  // namespace note2md::system
