// Failures of reading and writing files: the message names the path and the
// reason, ready for the error line.
#pragma once

#include <stdexcept>
#include <string>

namespace note2md::platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path between double quotes, as one line of valid UTF-8 whatever it
// holds.
std::string quoted(const std::string& path);

// "cannot ACTION "PATH": REASON"
[[noreturn]] void fail(const char* action, const std::string& path, const std::string& reason);
[[noreturn]] void fail(const char* action, const std::string& path, int error);

}  // namespace note2md::platform
