// The words of every failure of the run, which the run prints after
// "Error: ": always one line of valid UTF-8.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace note2md::cli {

// The description of any failure of the run, without the "Error: " prefix:
// a system::Failure worded by its step, with its path; "out of memory".
std::string describe(const std::exception& error);

// The path between double quotes, as one line of valid UTF-8 whatever it
// holds.
std::string quoted(std::string_view path);

}  // namespace note2md::cli
