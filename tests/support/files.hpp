// A scratch folder and whole files, for the tests that run the conversion in
// their own process.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace note2md::support {

// A fresh folder under $TMPDIR, removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() : path_(std::filesystem::temp_directory_path() / "note2md-test-XXXXXX") {
    if (::mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp");
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  bool holdsOnly(const std::string& name) const {
    auto entries = std::filesystem::directory_iterator(path_);
    return std::distance(entries, {}) == 1 && std::filesystem::exists(file(name));
  }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

inline void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace note2md::support
