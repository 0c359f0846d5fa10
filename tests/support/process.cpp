#include "support/process.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace note2md::testing {

std::string binaryPath() { return NOTE2MD_BINARY; }

// Standard output and error go to unlinked temporary files, read back once
// the child has ended.
Running start(const Launch& launch) {
  Running running;
  running.out = std::tmpfile();
  running.err = std::tmpfile();
  std::string program = launch.program.empty() ? binaryPath() : launch.program;
  std::vector<char*> argv;
  for (const auto& argument : launch.argv) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  running.pid = fork();
  if (running.pid < 0) throw std::runtime_error("fork");
  if (running.pid == 0) {
    if (launch.closeStandardOutput) {
      close(STDOUT_FILENO);
    } else {
      dup2(fileno(running.out), STDOUT_FILENO);
    }
    dup2(fileno(running.err), STDERR_FILENO);
    if (launch.fileSizeLimit >= 0) {
      // Without this the limit would kill the child instead of failing its write.
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{static_cast<rlim_t>(launch.fileSizeLimit), static_cast<rlim_t>(launch.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  return running;
}

Outcome finish(Running& running) {
  int status = 0;
  waitpid(running.pid, &status, 0);
  Outcome outcome;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  for (auto [file, sink] : {std::pair{running.out, &outcome.out}, std::pair{running.err, &outcome.err}}) {
    std::rewind(file);
    char buffer[65536];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;) sink->append(buffer, count);
    std::fclose(file);
  }
  return outcome;
}

Outcome run(const Launch& launch) {
  Running running = start(launch);
  return finish(running);
}

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

Outcome runNote2md(const std::vector<std::string>& arguments) {
  Launch launch;
  launch.argv.push_back(binaryPath());
  launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
  return run(launch);
}

ScratchDirectory::ScratchDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/note2md-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string readFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot open " + path);
  std::ostringstream content;
  content << stream.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream << content;
  if (!stream) throw std::runtime_error("cannot write " + path);
}

}  // namespace note2md::testing
