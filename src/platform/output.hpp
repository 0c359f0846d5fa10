// Standard output, the program's only channel.
#pragma once

#include <string_view>

namespace note2md::platform {

// Writes `line` and one line feed to standard output in a single write, so
// the message is complete before the process goes on. False when it failed.
bool printLine(std::string_view line);

// Makes sure that nothing can reach standard error or end the process with a
// signal: a closed pipe or an exceeded file-size limit becomes an ordinary
// failed write, and a broken invariant exits with status 1.
void guardProcess();

}  // namespace note2md::platform
