#include "system/output.hpp"

#include <cerrno>

#include <sys/uio.h>
#include <unistd.h>

namespace note2md::system {

bool printLine(std::string_view line) {
  char lineFeed = '\n';
  iovec pieces[2] = {{const_cast<char*>(line.data()), line.size()}, {&lineFeed, 1}};
  iovec* next = pieces;
  int left = 2;
  while (left > 0) {
    ssize_t count = ::writev(STDOUT_FILENO, next, left);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    // After a short write (a full pipe), go on where it stopped.
    auto done = static_cast<std::size_t>(count);
    for (; left > 0 && done >= next->iov_len; ++next, --left) done -= next->iov_len;
    if (left > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + done;
      next->iov_len -= done;
    }
  }
  return true;
}

}  // namespace note2md::system
