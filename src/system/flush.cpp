#include "system/flush.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace note2md::system {

bool offersNoFullSync(int error) { return error == ENOTTY || error == ENOTSUP || error == EINVAL; }

int flush(int fd, Flush how) {
  int error = -1;
#if defined(F_BARRIERFSYNC) && defined(F_FULLFSYNC)
  if (::fcntl(fd, how == Flush::ordered ? F_BARRIERFSYNC : F_FULLFSYNC) != -1) return 0;
  error = errno;
#else
  (void)how;
#endif
  if (error == -1 || offersNoFullSync(error)) error = ::fsync(fd) == 0 ? 0 : errno;
  const bool cannotFlush = error == EINVAL || error == EROFS || error == ENOTSUP || error == EBADF;
  return cannotFlush ? 0 : error;
}

}  // namespace note2md::system
