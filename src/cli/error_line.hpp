// The wording of the error line: "Error: " and what went wrong, always one
// line of valid UTF-8.
#pragma once

#include <exception>
#include <string>

namespace note2md::cli {

// The description of any failure of the run, without the "Error: " prefix.
std::string describe(const std::exception& error);

// The path between double quotes, as one line of valid UTF-8 whatever it
// holds.
std::string quoted(const std::string& path);

}  // namespace note2md::cli
