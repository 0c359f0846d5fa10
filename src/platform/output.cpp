#include "platform/output.hpp"

#include <cerrno>
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

}  // namespace note2md::platform
