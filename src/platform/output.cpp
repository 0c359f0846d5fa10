#include "platform/output.hpp"

#include <cerrno>
#include <csignal>
#include <exception>
#include <string>

#include <unistd.h>

namespace note2md::platform {

bool printLine(std::string_view line) {
  std::string message;
  message.reserve(line.size() + 1);
  message.append(line);
  message.push_back('\n');
  std::string_view rest(message);
  while (!rest.empty()) {
    ssize_t count = ::write(STDOUT_FILENO, rest.data(), rest.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    rest.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

void guardProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::set_terminate([] { ::_exit(1); });
}

}  // namespace note2md::platform
