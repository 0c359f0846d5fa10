#include "system/flush.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace note2md::system {
namespace {

// Whether a failed call only says that the file system does not offer it,
// as opposed to a failure of the drive.
bool notOffered(int error) { return error == ENOTTY || error == ENOTSUP || error == EINVAL; }

}  // namespace

int systemFlusher(int fd, FlushCall call) {
  switch (call) {
#if defined(F_BARRIERFSYNC) && defined(F_FULLFSYNC)
    case FlushCall::barrier:
      return ::fcntl(fd, F_BARRIERFSYNC) != -1 ? 0 : errno;
    case FlushCall::full:
      return ::fcntl(fd, F_FULLFSYNC) != -1 ? 0 : errno;
#else
    case FlushCall::barrier:
    case FlushCall::full:
      return ENOTTY;
#endif
    case FlushCall::fsync:
      break;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

int flush(int fd, Flush how, Flusher flusher) {
  int error = how == Flush::ordered ? flusher(fd, FlushCall::barrier) : ENOTTY;
  // Some file systems lack the barrier but offer the full flush, which
  // orders as well (FAT on macOS 11 to 13).
  if (notOffered(error)) error = flusher(fd, FlushCall::full);
  if (notOffered(error)) error = flusher(fd, FlushCall::fsync);
  const bool cannotFlush = error == EINVAL || error == EROFS || error == ENOTSUP || error == EBADF;
  return cannotFlush ? 0 : error;
}

}  // namespace note2md::system
