// Helpers for bench/run.sh: writes the benchmark notes and measures commands
// (wall time side by side, peak memory) without needing other tools.
//
//   benchtool notes DIR                   write the notes and DIR/index.tsv
//   benchtool hostile DIR                 only the hostile ones
//   benchtool note SIZE FILE               write one realistic note of SIZE bytes
//   benchtool compare N CMD... [-- CMD...] median wall seconds of each command,
//                                           run in turns N times
//   benchtool wall TIMEOUT CMD...          seconds of one run, or "timeout"
//   benchtool rss CMD...                   peak resident size in KiB and the
//                                           number of minor page faults
//   benchtool copy SRC DST                 the I/O floor of a conversion: read
//                                           SRC whole, write it beside DST, sync,
//                                           rename over DST, sync the folder
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "notes.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Finished {
  double seconds = 0;
  long maxRssKib = 0;
  long minorFaults = 0;
  bool timedOut = false;
  int status = 0;
};

Finished runOnce(const std::vector<char*>& argv, double timeoutSeconds) {
  const auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  Finished finished;
  rusage usage{};
  int status = 0;
  for (;;) {
    pid_t done = wait4(child, &status, timeoutSeconds > 0 ? WNOHANG : 0, &usage);
    if (done == child) break;
    if (std::chrono::duration<double>(Clock::now() - start).count() > timeoutSeconds) {
      kill(child, SIGKILL);
      wait4(child, &status, 0, &usage);
      finished.timedOut = true;
      break;
    }
    usleep(1000);
  }
  finished.seconds = std::chrono::duration<double>(Clock::now() - start).count();
#ifdef __APPLE__
  finished.maxRssKib = usage.ru_maxrss / 1024;  // bytes there, KiB on Linux
#else
  finished.maxRssKib = usage.ru_maxrss;
#endif
  finished.minorFaults = usage.ru_minflt;
  finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return finished;
}

std::vector<std::vector<char*>> splitCommands(int argc, char** argv, int first) {
  std::vector<std::vector<char*>> commands(1);
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      commands.back().push_back(nullptr);
      commands.emplace_back();
    } else {
      commands.back().push_back(argv[i]);
    }
  }
  commands.back().push_back(nullptr);
  return commands;
}

int writeNotes(const std::string& directory, bool all) {
  std::ofstream index(directory + "/index.tsv");
  auto write = [&](const std::string& file, const std::string& name, const std::string& text) {
    std::ofstream(directory + "/" + file, std::ios::binary) << text;
    index << file << '\t' << name << '\n';
  };
  int number = 0;
  for (const auto& [name, text] : note2md::support::adversarialNotes(1 << 20)) {
    write("adversarial-" + std::to_string(++number) + ".txt", name, text);
  }
  if (!all) return 0;
  write("realistic-3k.txt", "realistic note, 3 KB", note2md::support::realisticNote(3 * 1024));
  write("realistic-1m.txt", "realistic note, 1 MiB", note2md::support::realisticNote(1 << 20));
  write("realistic-16m.txt", "realistic note, 16 MiB", note2md::support::realisticNote(16 << 20));
  write("realistic-200m.txt", "realistic note, 200 MB", note2md::support::realisticNote(200'000'000));
  return 0;
}

// What any atomic conversion must do at least, in one process.
int copyAtomically(const char* source, const std::string& destination) {
  int in = open(source, O_RDONLY);
  struct stat status {};
  if (in < 0 || fstat(in, &status) != 0) return 1;
  const auto size = static_cast<std::size_t>(status.st_size);
  std::unique_ptr<char[]> bytes(new char[size]);
  for (std::size_t done = 0; done < size;) {
    ssize_t count = read(in, bytes.get() + done, size - done);
    if (count <= 0) return 1;
    done += static_cast<std::size_t>(count);
  }
  close(in);
  const std::size_t slash = destination.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash);
  std::string auxiliary = folder + "/.floor-XXXXXX";
  int out = mkstemp(auxiliary.data());
  if (out < 0) return 1;
  for (std::size_t done = 0; done < size;) {
    ssize_t count = write(out, bytes.get() + done, size - done);
    if (count <= 0) return 1;
    done += static_cast<std::size_t>(count);
  }
  if (fsync(out) != 0 || close(out) != 0 || rename(auxiliary.c_str(), destination.c_str()) != 0) return 1;
  int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (directory < 0 || fsync(directory) != 0) return 1;
  close(directory);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "notes") == 0) return writeNotes(argv[2], true);
  if (argc >= 3 && std::strcmp(argv[1], "hostile") == 0) return writeNotes(argv[2], false);
  if (argc == 4 && std::strcmp(argv[1], "note") == 0) {
    std::ofstream(argv[3], std::ios::binary) << note2md::support::realisticNote(std::strtoull(argv[2], nullptr, 10));
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "compare") == 0) {
    const int rounds = std::atoi(argv[2]);
    auto commands = splitCommands(argc, argv, 3);
    std::vector<std::vector<double>> times(commands.size());
    for (int round = 0; round < rounds; ++round) {
      for (std::size_t i = 0; i < commands.size(); ++i) times[i].push_back(runOnce(commands[i], 0).seconds);
    }
    for (auto& samples : times) {
      std::sort(samples.begin(), samples.end());
      std::printf("%.6f\n", samples[samples.size() / 2]);
    }
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "wall") == 0) {
    auto commands = splitCommands(argc, argv, 3);
    Finished finished = runOnce(commands[0], std::atof(argv[2]));
    if (finished.timedOut) {
      std::printf("timeout\n");
    } else {
      std::printf("%.4f\n", finished.seconds);
    }
    return finished.timedOut ? 0 : finished.status;
  }
  if (argc >= 3 && std::strcmp(argv[1], "rss") == 0) {
    auto commands = splitCommands(argc, argv, 2);
    Finished finished = runOnce(commands[0], 0);
    std::printf("%ld %ld\n", finished.maxRssKib, finished.minorFaults);
    return finished.status;
  }
  if (argc == 4 && std::strcmp(argv[1], "copy") == 0) return copyAtomically(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: benchtool notes DIR | hostile DIR | note SIZE FILE | compare N CMD [-- CMD]... | wall TIMEOUT "
               "CMD | rss CMD | copy SRC DST\n");
  return 2;
}
