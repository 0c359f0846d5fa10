// A file that cannot be read or written: what was being done, to which path,
// and why. The run turns it into the error line.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace note2md::system {

enum class Access { read, write };

class FileError : public std::runtime_error {
 public:
  FileError(Access access, const std::string& path, const std::string& reason)
      : std::runtime_error(reason), access(access), path(path) {}
  Access access;
  std::string path;
};

[[noreturn]] inline void throwFileError(Access access, const std::string& path, const std::string& reason) {
  throw FileError(access, path, reason);
}

[[noreturn]] inline void throwFileError(Access access, const std::string& path, int error) {
  throw FileError(access, path, std::strerror(error));
}

}  // namespace note2md::system
