// Running the real binary and scratch directories for tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace note2md::testing {

struct Outcome {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

struct Launch {
  std::vector<std::string> argv;  // complete, argument 0 included
  std::string program;            // defaults to the note2md binary
  long fileSizeLimit = -1;        // RLIMIT_FSIZE in bytes for the child, -1 for none
  bool closeStandardOutput = false;
};

Outcome run(const Launch& launch);

// The same in two steps, for a test that acts while the process runs.
struct Running {
  int pid = -1;
  std::FILE* out = nullptr;
  std::FILE* err = nullptr;
};
Running start(const Launch& launch);
Outcome finish(Running& running);

// note2md with argument 0 set to the binary's path.
Outcome runNote2md(const std::vector<std::string>& arguments);

std::string binaryPath();

// The full path of a program found on $PATH, or empty when there is none.
std::string findProgram(const std::string& name);

// A fresh directory under $TMPDIR, removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace note2md::testing
